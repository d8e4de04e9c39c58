// Entry of the Qt front end's tests: one QApplication for the whole run, then every gtest test.
// The offscreen platform keeps the tests independent of a display.
#include <QApplication>

#include <gtest/gtest.h>

#if defined(__SANITIZE_THREAD__)
// Qt is not built for ThreadSanitizer: the pooled threads with which QtGui converts and scales
// images while painting take their tasks through locks that it cannot see. What Qt's libraries do
// inside themselves is therefore not watched. Our own code is: a race between our threads and the
// UI thread, or in the hand-over between them, is still reported.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n";
}
#endif

int main(int argc, char** argv) {
    // ctest sets the platform; a direct run of the binary gets the same one.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    // Tests close many windows; none of those closes may end an event loop that a test runs.
    QApplication::setQuitOnLastWindowClosed(false);
    return RUN_ALL_TESTS();
}
