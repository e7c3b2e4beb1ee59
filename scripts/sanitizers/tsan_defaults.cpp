// Linked into every target of a ThreadSanitizer build. The project's rules
// for Qt's own races then hold in every program, also in one that a test
// starts with a clean environment (the program run from a terminal, say);
// TSAN_OPTIONS, where it is set, is read after these and wins.

extern "C" __attribute__((visibility("default"))) const char* __tsan_default_options()
{
    return "suppressions=" QUILLON_TSAN_SUPPRESSIONS ":second_deadlock_stack=1:history_size=7";
}
