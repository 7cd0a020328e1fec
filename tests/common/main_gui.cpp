#include <QApplication>
#include <cstdlib>
#include <gtest/gtest.h>

#include "tests/common/TestListener.h"

int main(int argc, char** argv) {
  // Widget tests never need a display.
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  testutil::InstallTestListener();
  return RUN_ALL_TESTS();
}
