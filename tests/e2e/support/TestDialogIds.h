// What the harness's test dialog shows and its control ids, shared with the harness tests.
#pragma once

namespace test_dialog {

inline constexpr char kCaption[] = "e2e 测试对话框";
inline constexpr int kLog = 1000;
inline constexpr int kCombo = 1001;
inline constexpr int kEdit = 1002;
inline constexpr int kBoxButton = 1003;
inline constexpr int kDisabledButton = 1004;
inline constexpr int kLeakButton = 1005;
inline constexpr int kBusyButton = 1006;
inline constexpr int kCheck = 1007;
inline constexpr int kAboutCommand = 0x0010;
inline constexpr int kLeakCount = 50;

// 0x5C ("\") as a trail byte: 乗 is 81 5C in code page 936.
inline constexpr char kChineseLine[] = "中文日志：你好，乗\\";
inline constexpr const char* kComboItems[] = {"32", "48", "中文设备"};
inline constexpr char kSelectedPrefix[] = "选中：";
inline constexpr char kBoxText[] = "按钮已按下！";
inline constexpr char kBoxClosedLine[] = "提示已关闭";
inline constexpr char kStartupBoxText[] = "启动前的提示";
inline constexpr char kAboutItem[] = "关于 测试对话框(&A)...";
inline constexpr char kAboutCaption[] = "关于 测试对话框";
inline constexpr char kAboutText[] = "测试对话框 1.0";
// The busy button's handler sets kBusyEvent + pid, then holds the UI thread until the test
// sets kReleaseEvent + pid.
inline constexpr char kBusyEvent[] = "e2e-test-dialog-busy-";
inline constexpr char kReleaseEvent[] = "e2e-test-dialog-release-";
inline constexpr char kNotBusyLine[] = "不再忙碌";

} // namespace test_dialog
