// The launcher window's fixed texts and the names by which a launcher and a
// running ORVO Host are recognised in the user's session.
#pragma once

#include <string_view>

namespace orvo::ui {

inline constexpr std::string_view kCaption = "ORVO Support";
inline constexpr std::string_view kWindowClass = "ORVO.Support.Launcher.Window";
inline constexpr std::string_view kLauncherMutexName = "Local\\ORVO.Support.Launcher";
inline constexpr std::string_view kHostMutexName = "Local\\ORVO.Host.SupportSession";

inline constexpr std::string_view kCouldNotStartText = "ORVO could not start. Please try again.";
inline constexpr std::string_view kHostOpenText =
    "ORVO Host is already open. Use its window to share your support key.";

inline constexpr std::string_view kTitleText = "ORVO Support";
inline constexpr std::string_view kPreparingText = "Preparing ORVO Support\u2026";
inline constexpr std::string_view kNoteText = "Your support app will open automatically.";
inline constexpr std::string_view kCancellingText = "Cancelling. Please wait...";
inline constexpr std::string_view kFailureText =
    "ORVO couldn't open. Check your internet connection and choose Retry. If it keeps "
    "happening, contact your support person.";
inline constexpr std::string_view kRetryText = "Retry";
inline constexpr std::string_view kCancelText = "Cancel";
inline constexpr std::string_view kCloseText = "Close";
inline constexpr std::string_view kDetailsText = "View details";

}  // namespace orvo::ui
