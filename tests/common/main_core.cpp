#include <QCoreApplication>
#include <gtest/gtest.h>

#include "tests/common/TestListener.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  testutil::InstallTestListener();
  return RUN_ALL_TESTS();
}
