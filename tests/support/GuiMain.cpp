#include <QGuiApplication>

#include <gtest/gtest.h>

// The wizards and the terminal front measure text with fonts but show no widget.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
