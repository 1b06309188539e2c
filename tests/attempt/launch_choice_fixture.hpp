// The fixture of the tests of everything of an attempt before the host start:
// a real TLS release server on 127.0.0.1, real signed releases and a real
// cache folder, with choose_launch as the step under test.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "attempt/launch_choice.hpp"
#include "support/suite/preparation_fixture.hpp"

namespace orvo::core {

inline constexpr std::string_view kNoCopy =
    "ORVO could not be prepared, and no verified working copy is available (No intact, "
    "previously launched ORVO installation was found): ";

// A body sent in chunks, so that no length is announced ahead of it.
inline test::Answer chunked(std::string bytes) {
  test::Answer answer = test::Answer::body(std::move(bytes));
  answer.framing = test::Framing::Chunked;
  return answer;
}

class LaunchChoice : public test::PreparationFixture {
 protected:
  Result<ChosenLaunch> choose() { return choose_launch(settings, sender, cancel); }

  std::string failure() {
    auto chosen = choose();
    return chosen ? "chose " + chosen->candidate.folder.filename().string()
                  : chosen.error().chain_text();
  }
};

}  // namespace orvo::core
