// The INDI client library 1.9.9 keeps its devices and their properties in
// shared pointers that point at each other, so a finished client leaves them
// behind. LeakSanitizer (the sanitizer build) reads these rules from the test
// program itself; other builds never call this.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libindiclient.so\n";
}
