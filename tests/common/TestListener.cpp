#include "tests/common/TestListener.h"

#include <gtest/gtest.h>

#include "platform/FileSys.h"
#include "xml/cXmlNode.h"

namespace testutil {
namespace {

class FaultAndNodeListener : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override { liveAtStart_ = cXmlNode::LiveCount(); }
  void OnTestEnd(const ::testing::TestInfo&) override {
    // A fault left armed would fail the next test's first file operation instead.
    platform::fs::ResetFaults();
    long left = cXmlNode::LiveCount() - liveAtStart_;
    if (left > 0) ADD_FAILURE() << left << " XML node(s) outlived the test";
  }
  long liveAtStart_ = 0;
};

}  // namespace

void InstallTestListener() {
  auto& listeners = ::testing::UnitTest::GetInstance()->listeners();
  // Failures raised here must reach the printer, so this one goes before it.
  auto* printer = listeners.Release(listeners.default_result_printer());
  listeners.Append(new FaultAndNodeListener);
  if (printer) listeners.Append(printer);
}

}  // namespace testutil
