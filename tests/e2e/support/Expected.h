// What the operator sees and the files the program keeps beside it, as the tests expect them.
// Kept apart from the product's own texts, so that a changed text there fails the tests.
#pragma once

#include <cstddef>

namespace e2e::expected {

// Button captions: the start buttons show the stop caption while their activity runs.
inline constexpr char kStartLive[] = "开始直播";
inline constexpr char kStopLive[] = "停止直播";
inline constexpr char kStartPull[] = "开始拉流";
inline constexpr char kStopPull[] = "停止拉流";

// Log messages, without their time stamps.
inline constexpr char kLive[] = "直播中。。。";
inline constexpr char kLiveClosed[] = "关闭直播。。。";
inline constexpr char kRestart[] = "直播进程被关闭，系统自动重启进程！";
inline constexpr char kCallFailed[] = "call process  failed!";
inline constexpr char kNoAddress[] = "请重新设置服务器地址，服务器地址不存在！";
inline constexpr char kBadPrefix[] = "请重新设置服务器地址，必须以\"rtmp://\"开头，请参考示例！";
inline constexpr char kEmptyApp[] = "请重新设置服务器地址，APP字段不可为空，请参考示例！";
inline constexpr char kEmptyStream[] = "请重新设置服务器地址，STREAM字段不可为空，请参考示例！";
inline constexpr char kNotPublishDomain[] = "非Kelvo习惯直播地址，有可能出错！！！";
inline constexpr char kNoDevice[] = "音频设备选择有误，请重新选择，或者检查声卡驱动程序！！！";
inline constexpr char kDeviceFileFailed[] = "创建设备列表文件失败！";
inline constexpr char kPulling[] = "拉流中。。。";
inline constexpr char kPullStopped[] = "停止拉流。。。";
// Followed by the service's answer, or by kHttpError and the status.
inline constexpr char kPullFailed[] = "拉流失败：";
inline constexpr char kPullStopFailed[] = "停止拉流失败：";
inline constexpr char kHttpError[] = "POST err ：";
// After the usual line of an open API answer that came after its request's time-out.
inline constexpr char kAnsweredLate[] = "以上为开放接口在超时之后才到达的回答！";
// Followed by the daily log file's path.
inline constexpr char kLogFileFailed[] = "无法写入日志文件：";
// The encoder's own last line follows kEncoderSays.
inline constexpr char kEncoderSays[] = "编码器：";
inline constexpr char kBuiltInAac[] = "编码器没有libfdk_aac，改用内置aac编码器！";
inline constexpr char kStalled[] = "编码器已停止发送数据，系统自动重启进程！";
inline constexpr char kServerBack[] = "服务器已恢复，立即重启直播进程！";
// Followed by the path of the installation's own status file.
inline constexpr char kOwnStatusFile[] = "编码器状态文件改用：";
inline constexpr char kLeftoverEncoderEnded[] = "已结束上次运行遗留的编码器进程！";
inline constexpr char kStallWatchPaused[] = "编码器状态文件所在磁盘已满，暂停卡死检测！";
inline constexpr char kLevelsRefused[] = "编码器不支持电平测量，改用不测量电平的编码命令！";
// The silence alarm with the threshold and the silence time; its end with the silence's length.
inline constexpr char kSilenceAlarmFormat[] = "静音报警：声音低于 %d dBFS 已经 %d 秒！";
inline constexpr char kSoundBackPrefix[] = "声音已恢复，静音持续了 ";
inline constexpr char kBackupStarts[] = "静音，停止直播，改由拉流接替。。。";
inline constexpr char kBackupFailed[] = "拉流接替失败，重新开始直播！";
inline constexpr char kBackupEnds[] = "声音已恢复，停止拉流，重新开始直播。。。";
inline constexpr char kAudioSettingsBad[] = "settings.ini 里以下设置无效或缺少，已用默认值：";
// The recording: the lack of room with the floor in MiB, the retention with its days and files.
inline constexpr char kRecordingNoRoomFormat[] =
    "录音暂停：录音文件夹所在磁盘的剩余空间不足 %d MB！直播照常进行。";
inline constexpr char kRecordingCannotWrite[] = "录音失败，直播照常进行：无法写入录音文件夹 ";
inline constexpr char kRecordingExpiredFormat[] = "已删除超过 %d 天保留期的录音文件 %d 个。";
inline constexpr char kRecordingPausedForRelay[] =
    "拉流期间暂停录音：播出的是拉流的声音，由服务端的录制保存。";
inline constexpr char kRecordingResumed[] = "直播恢复，录音继续。";
inline constexpr char kRecordingRefused[] =
    "编码器不支持录音（没有 tee 输出），改用不录音的编码命令，直播照常进行！";
inline constexpr char kRecordingFolder[] = "录音";

// The encoder's measuring filters, as its command line carries them after "-af".
inline constexpr char kLevelFilters[] = "asplit=2[out][m];[m]asetnsamples=n=4410:p=0,"
                                        "astats=metadata=1:reset=1,"
                                        "ametadata=mode=print:key=lavfi.astats.1.Peak_level,"
                                        "ametadata=mode=print:key=lavfi.astats.2.Peak_level,"
                                        "anullsink";

// The log list shows at most this many of the newest lines.
inline constexpr size_t kLogLinesShown = 5000;

// Message boxes and the About box.
inline constexpr char kBoxCaption[] = "Sonafeed";
inline constexpr char kNoEncoder[] = "请把ffmpeg.exe 文件放到执行文件目录！！！";
inline constexpr char kAboutItem[] = "关于 Sonafeed(&A)...";
inline constexpr char kAboutCaption[] = "关于 电台推流客户端";
inline constexpr char kSettingsItem[] = "电平、静音与录音设置(&S)...";
inline constexpr char kSettingsCaption[] = "电平、静音与录音设置";
// The box of a start with an unknown switch: the command line goes between the two parts.
inline constexpr char kUnknownSwitch[] = "不认识的命令行参数：";
inline constexpr char kSwitchList[] =
    "\n\n可用的参数：\n/live    开始直播\n/stop    停止直播\n"
    "/quit    关闭正在运行的程序\n不带参数：显示正在运行的程序窗口";
// The box of a later start whose command the running instance neither took nor made way for.
inline constexpr char kInstanceNoAnswer[] =
    "本程序已在运行，但它没有响应，也没有退出：命令没有执行。";

// Files beside the program.
inline constexpr char kConfig[] = "config.db";
inline constexpr char kConfigTemp[] = "config.db.tmp";
inline constexpr char kDeviceFile[] = "device.txt";
inline constexpr char kAudioSettings[] = "settings.ini";
inline constexpr char kEncoder[] = "ffmpeg.exe";
// The status file as the program names it ("c://NetStatus.txt"), seen from the same prefix.
inline constexpr char kStatusFile[] = "c:\\NetStatus.txt";

} // namespace e2e::expected
