// A program that crashes: an access violation, the way a faulty test would.
// The Windows lane runs it to prove that a crash under Wine is a failure.
int main(int argc, char**) {
  volatile int* nowhere = nullptr;
  if (argc > 0) *nowhere = argc;
  return 0;
}
