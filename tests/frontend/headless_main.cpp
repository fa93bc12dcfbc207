// The main function of the widget tests: a QApplication on the offscreen
// platform, unless the environment names another.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>

int main(int argc, char** argv) {
    // Listing the tests at build time needs no display either.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform cannot raise windows; it says so every time.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (!text.startsWith("This plugin does not support")) std::fprintf(stderr, "%d: %s\n", type, qPrintable(text));
    });
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
