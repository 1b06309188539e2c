#include "attempt/final_failure.hpp"

#include <string>
#include <utility>

#include "core/cache/launcher_log.hpp"

namespace orvo::core {

void report_final_failure(WorkerSender& sender, const std::filesystem::path& log_path,
                          const Error& error) {
  std::string text = error.chain_text();
  write_log_line(log_path, text);
  sender.send(Failed{.text = std::move(text)});
}

}  // namespace orvo::core
