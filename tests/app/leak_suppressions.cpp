// Leaks that are not ours, for every run of this program (also when the
// sanitizer options of the environment do not reach it): the font
// configuration library keeps its caches for the life of the process once
// Qt has drawn text.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
