// One whole preparation attempt in a process of its own, for tests that kill
// an attempt part-way: orvo_attempt_child MANIFEST_URL KEY_HEX ROOTS_PEM_FILE.
// The cache is the one LOCALAPPDATA names. Every message the attempt sends is
// printed on its own line; a started host is ended again. Exits 0 after
// Launched and 1 after Failed.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <variant>

#include "attempt/preparation_attempt.hpp"
#include "core/cache/cache_root.hpp"
#include "platform/host/process_control.hpp"
#include "support/suite/preparation_fixture.hpp"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: orvo_attempt_child MANIFEST_URL KEY_HEX ROOTS_PEM_FILE\n");
    return 2;
  }
  orvo::core::PreparationSettings settings;
  settings.manifest_url = argv[1];
  settings.release_key_text = argv[2];
  std::ostringstream roots;
  roots << std::ifstream(argv[3]).rdbuf();
  settings.client.roots_pem = roots.str();
  // The tests want the attempt's outcome, not its speed: a loaded machine may
  // bring the host's window up later than the product's limit allows.
  settings.host_wait.limit = std::chrono::minutes(5);

  auto root = orvo::core::launcher_cache_root();
  if (!root) {
    std::printf("Failed: %s\n", root.error().chain_text().c_str());
    return 1;
  }
  auto [sender, receiver] = orvo::core::make_channel<orvo::core::WorkerMessage>();
  orvo::core::run_preparation(std::move(sender), *root / "launcher.log", orvo::core::CancelFlag(),
                              settings);
  int exit_code = 1;
  while (auto message = receiver.try_receive()) {
    std::printf("%s\n", orvo::test::describe(*message).c_str());
    if (auto* launched = std::get_if<orvo::core::Launched>(&*message)) {
      orvo::platform::end_process(launched->host, 1);
      orvo::platform::wait_for_exit(launched->host);
      exit_code = 0;
    }
  }
  return exit_code;
}
