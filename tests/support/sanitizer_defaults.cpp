// Qt's offscreen platform plugin never frees its screen objects; that is not ours to fix.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions()
{
    return "leak:libqoffscreen.so\nleak:libfontconfig.so\n";
}
