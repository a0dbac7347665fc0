#pragma once
// main() for a window test: the program's own application object (its
// fonts, pictures and exception box), then the Qt Test class.
#include <QTest>

#include "app/KQ30Application.h"

#define KQ30_GUI_TEST_MAIN(TestClass)          \
  int main(int argc, char** argv) {            \
    KQ30Application app(argc, argv);           \
    TestClass test;                            \
    return QTest::qExec(&test, argc, argv);    \
  }
