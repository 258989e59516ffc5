#include <QApplication>

#include <gtest/gtest.h>

// GoogleTest with one QApplication for the whole run.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
