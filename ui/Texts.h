// Every text the operator reads (captions, message boxes, log lines), defined once; names of
// files, protocols and arguments live with the code that uses them. The sources are UTF-8; the
// compiler turns each literal into code page 936 bytes.
#pragma once

namespace texts {

// Captions and labels that the code sets at run time.
inline constexpr char kStartLive[] = "开始直播";
inline constexpr char kStopLive[] = "停止直播";
inline constexpr char kStartPull[] = "开始拉流";
inline constexpr char kStopPull[] = "停止拉流";
inline constexpr char kTrayTip[] = "Kelvo电台推流客户端";
inline constexpr char kTrayTipSilent[] = "Kelvo电台推流客户端：静音中！";
// The tray balloon of a silence alarm, with the silence time in seconds.
inline constexpr char kSilenceBalloonFormat[] = "直播的声音已经静音 %d 秒，请检查声音来源！";

// Message boxes.
inline constexpr char kFfmpegMissing[] = "请把ffmpeg.exe 文件放到执行文件目录！！！";
// The program's folder has a name that the ANSI code page cannot spell, not even by its short name.
inline constexpr char kFolderNotAnsi[] =
    "程序所在文件夹的路径里有本机代码页不能表示的字符：请把程序放到路径只含中英文的文件夹里！";
inline constexpr char kCreatePipeFailed[] = "Error On CreatePipe()";
inline constexpr char kCreateProcessFailed[] = "Error on CreateProcess()";

// Activity log lines.
inline constexpr char kLive[] = "直播中。。。";
inline constexpr char kLiveClosed[] = "关闭直播。。。";
inline constexpr char kEncoderRestart[] = "直播进程被关闭，系统自动重启进程！";
inline constexpr char kCallProcessFailed[] = "call process  failed!";
inline constexpr char kTimerErrorFormat[] = "Ontimer error:%u";
inline constexpr char kUrlTooShort[] = "请重新设置服务器地址，服务器地址不存在！";
inline constexpr char kUrlBadPrefix[] = "请重新设置服务器地址，必须以\"rtmp://\"开头，请参考示例！";
inline constexpr char kUrlEmptyApp[] = "请重新设置服务器地址，APP字段不可为空，请参考示例！";
inline constexpr char kUrlEmptyStream[] = "请重新设置服务器地址，STREAM字段不可为空，请参考示例！";
inline constexpr char kUrlNotPublishDomain[] = "非Kelvo习惯直播地址，有可能出错！！！";
inline constexpr char kNoDevice[] = "音频设备选择有误，请重新选择，或者检查声卡驱动程序！！！";
inline constexpr char kUrlNoSlash[] = "请重新设置服务器地址，服务器地址不存在111！";
inline constexpr char kUrlNoSecondSlash[] = "请重新设置服务器地址，服务器地址不存在222！";
inline constexpr char kPulling[] = "拉流中。。。";
inline constexpr char kPullStopped[] = "停止拉流。。。";
inline constexpr char kPullFailed[] = "拉流失败：";
inline constexpr char kPullStopFailed[] = "停止拉流失败：";
inline constexpr char kDeviceFileCreateFailed[] = "创建设备列表文件失败！";
inline constexpr char kDeviceFileOpenFailed[] = "ParseDeviceLIst 打开文件失败！";
inline constexpr char kDeviceSearchRestart[] = "重新查找开始符号";
// After the usual line of an open API answer that came after its request's time-out.
inline constexpr char kAnsweredLate[] = "以上为开放接口在超时之后才到达的回答！";

// Activity log lines about the encoder's own output and its health.
// Followed by the encoder's last line of output after it exited.
inline constexpr char kEncoderSays[] = "编码器：";
inline constexpr char kBuiltInAacFallback[] = "编码器没有libfdk_aac，改用内置aac编码器！";
inline constexpr char kEncoderStalled[] = "编码器已停止发送数据，系统自动重启进程！";
inline constexpr char kServerBack[] = "服务器已恢复，立即重启直播进程！";
// Followed by the path of the installation's own status file, when the shared one is not ours.
inline constexpr char kOwnStatusFile[] = "编码器状态文件改用：";
inline constexpr char kStallWatchPaused[] = "编码器状态文件所在磁盘已满，暂停卡死检测！";
inline constexpr char kLeftoverEncoderEnded[] = "已结束上次运行遗留的编码器进程！";
inline constexpr char kLevelsRefused[] = "编码器不支持电平测量，改用不测量电平的编码命令！";

// The silence alarm and the relay as its backup. The alarm names the threshold in dBFS and the
// silence time in seconds; its end, how long the silence lasted.
inline constexpr char kSilenceAlarmFormat[] = "静音报警：声音低于 %d dBFS 已经 %d 秒！";
inline constexpr char kSoundBackFormat[] = "声音已恢复，静音持续了 %u 秒。";
inline constexpr char kBackupStarts[] = "静音，停止直播，改由拉流接替。。。";
inline constexpr char kBackupFailed[] = "拉流接替失败，重新开始直播！";
inline constexpr char kBackupEnds[] = "声音已恢复，停止拉流，重新开始直播。。。";
// The logger recording. The lack of room names the floor in MiB, the retention its days and the
// number of files it deleted; the folder follows the line that it cannot be written.
inline constexpr char kRecordingNoRoomFormat[] =
    "录音暂停：录音文件夹所在磁盘的剩余空间不足 %d MB！直播照常进行。";
inline constexpr char kRecordingRoomAgain[] = "录音文件夹所在磁盘又有空间了，录音继续。";
inline constexpr char kRecordingCannotWrite[] = "录音失败，直播照常进行：无法写入录音文件夹 ";
inline constexpr char kRecordingWritingAgain[] = "录音文件夹又能写入了，录音继续。";
inline constexpr char kRecordingExpiredFormat[] = "已删除超过 %d 天保留期的录音文件 %d 个。";
inline constexpr char kRecordingCannotStart[] =
    "录音无法开始（没有可用的本机端口），直播照常进行！";
inline constexpr char kRecordingPausedForRelay[] =
    "拉流期间暂停录音：播出的是拉流的声音，由服务端的录制保存。";
inline constexpr char kRecordingResumed[] = "直播恢复，录音继续。";
inline constexpr char kRecordingRefused[] =
    "编码器不支持录音（没有 tee 输出），改用不录音的编码命令，直播照常进行！";
// Followed by the keys that were wrong or missing.
inline constexpr char kAudioSettingsBad[] = "settings.ini 里以下设置无效或缺少，已用默认值：";

// One instance driven from the command line, and the daily log file.
inline constexpr char kUnknownSwitchFormat[] = "不认识的命令行参数：%s\n\n"
                                               "可用的参数：\n"
                                               "/live    开始直播\n"
                                               "/stop    停止直播\n"
                                               "/quit    关闭正在运行的程序\n"
                                               "不带参数：显示正在运行的程序窗口";
inline constexpr char kLogFileFailed[] = "无法写入日志文件：";
// A later start whose command the running instance neither took nor made way for in time.
inline constexpr char kInstanceNoAnswer[] =
    "本程序已在运行，但它没有响应，也没有退出：命令没有执行。";

} // namespace texts
