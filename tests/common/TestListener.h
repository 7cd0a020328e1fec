#pragma once
namespace testutil {
// After every test: file faults are disarmed, and a test that leaves XML nodes alive fails.
void InstallTestListener();
}  // namespace testutil
