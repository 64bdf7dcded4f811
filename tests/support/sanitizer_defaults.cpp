// Qt's offscreen platform plugin never frees its screen objects; that is not ours to fix.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions()
{
    // A modal answerer armed for a box that never opened is still pending when the process ends.
    return "leak:libqoffscreen.so\nleak:libfontconfig.so\nleak:testhelp::onNextModal\nleak:widget_test_helpers.h\n";
}

// Qt is not built with ThreadSanitizer, so its thread pool's own teardown at exit looks racy.
extern "C" __attribute__((visibility("default"), used)) const char* __tsan_default_suppressions()
{
    return "race:QThreadPoolPrivate::reset\nrace:QWaitCondition::~QWaitCondition\n";
}
