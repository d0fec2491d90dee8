<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AccessNotice</name>
    <message>
        <source>This user may not open the camera</source>
        <extracomment>Heading of the notice shown when the camera is plugged in but this user has no permission to open it.</extracomment>
        <translation>当前用户无权打开摄像头</translation>
    </message>
    <message>
        <source>The camera is on the USB bus, but this user may not open its HID interfaces. On Linux a udev rule (%1) gives them to the person logged in at this computer; logins from elsewhere (SSH, remote desktops) get nothing from it. Install the rule (the program&apos;s package does), or copy it from the source&apos;s packaging/linux folder to %2. Then run these commands and plug the camera in again. The last command says exactly what is missing.</source>
        <extracomment>%1 is the udev rule&apos;s file name, %2 the folder for local rules (/etc/udev/rules.d). &quot;udev&quot; is the Linux device manager; keep the names as they are. The commands follow below the text.</extracomment>
        <translation>摄像头已连接到 USB 总线，但当前用户无权打开它的 HID 接口。在 Linux 上，udev 规则（%1）会把它们交给在这台电脑前登录的用户；从别处登录（SSH、远程桌面）的用户得不到权限。请安装该规则（程序的软件包会安装它），或把它从源代码的 packaging/linux 文件夹复制到 %2。然后运行下面的命令，并重新插拔摄像头。最后一条命令会准确说明缺少什么。</translation>
    </message>
    <message>
        <source>Commands to run</source>
        <extracomment>Accessible name of the box that holds the commands to copy.</extracomment>
        <translation>要运行的命令</translation>
    </message>
    <message>
        <source>Copy Commands</source>
        <extracomment>Button: copies the commands of the notice to the clipboard.</extracomment>
        <translation>复制命令</translation>
    </message>
    <message>
        <source>Copies the commands to the clipboard.</source>
        <translation>将命令复制到剪贴板。</translation>
    </message>
    <message>
        <source>Close</source>
        <extracomment>Button: closes the notice (it comes back when the camera is plugged in again).</extracomment>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Closes this notice.</source>
        <translation>关闭此提示。</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Kelvora Camera 2 Config (v1.0.7)</source>
        <extracomment>The window title: the product name, then the program version.</extracomment>
        <translation>Kelvora Camera 2 配置 (v1.0.7)</translation>
    </message>
    <message>
        <source>Device: Unknown</source>
        <translation>设备：未知</translation>
    </message>
    <message>
        <source>Refresh</source>
        <extracomment>Button: looks for the camera at once (verb).</extracomment>
        <translation>刷新</translation>
    </message>
    <message>
        <source>Status: Disconnected</source>
        <translation>状态：未连接</translation>
    </message>
    <message>
        <source>MODE:</source>
        <extracomment>Label of the camera&apos;s framing mode (way of working, not a menu) until the camera has reported it.</extracomment>
        <translation>模式：</translation>
    </message>
    <message>
        <source>FullScreen</source>
        <extracomment>Framing mode: the camera shows its whole field of view.</extracomment>
        <translation>全屏</translation>
    </message>
    <message>
        <source>AutoFraming</source>
        <extracomment>Framing mode: the camera zooms to fit the people in the room.</extracomment>
        <translation>自动取景</translation>
    </message>
    <message>
        <source>VoiceTracking</source>
        <extracomment>Framing mode: the camera follows whoever is speaking.</extracomment>
        <translation>语音追踪</translation>
    </message>
    <message>
        <source>SmartGallery(1080P only)</source>
        <extracomment>Framing mode: each person in a tile of their own; works only at 1080p resolution.</extracomment>
        <translation>智能画廊（仅限 1080P）</translation>
    </message>
    <message>
        <source>REF</source>
        <extracomment>Button of the reference audio channel; an abbreviation, usually kept.</extracomment>
        <translation>REF</translation>
    </message>
    <message>
        <source>LPF</source>
        <extracomment>Button: switches the low-pass filter; an abbreviation, usually kept.</extracomment>
        <translation>LPF</translation>
    </message>
    <message>
        <source>FILE PATH:</source>
        <extracomment>Label of the field showing the chosen firmware image.</extracomment>
        <translation>文件路径：</translation>
    </message>
    <message>
        <source>Select</source>
        <extracomment>Button: opens a dialog to choose the firmware image file (verb).</extracomment>
        <translation>选择</translation>
    </message>
    <message>
        <source>VERSION:  </source>
        <extracomment>Label of the camera&apos;s firmware version; the two trailing spaces keep it apart from the field.</extracomment>
        <translation>版本：  </translation>
    </message>
    <message>
        <source>GetVersion</source>
        <extracomment>Button: asks the camera for its firmware version.</extracomment>
        <translation>获取版本</translation>
    </message>
    <message>
        <source>EnterUPD</source>
        <extracomment>Button: sends the camera into its firmware upgrade mode (UPD).</extracomment>
        <translation>进入升级模式</translation>
    </message>
    <message>
        <source>DOWNLOAD</source>
        <extracomment>Label of the upgrade progress bar before an upgrade: the image is sent (downloaded) to the device.</extracomment>
        <translation>传输</translation>
    </message>
    <message>
        <source>Start</source>
        <extracomment>Button: starts sending the chosen firmware image to the device (verb).</extracomment>
        <translation>开始</translation>
    </message>
    <message>
        <source>More Setting</source>
        <extracomment>Button: asks for the access code, then shows or hides the extra settings.</extracomment>
        <translation>更多设置</translation>
    </message>
    <message>
        <source>Upgrade Mode</source>
        <extracomment>Button: shows or hides the firmware upgrade controls.</extracomment>
        <translation>升级模式</translation>
    </message>
    <message>
        <source>Apply</source>
        <extracomment>Button: sends the selected framing mode to the camera (verb).</extracomment>
        <translation>应用</translation>
    </message>
    <message>
        <source>EXIT</source>
        <extracomment>Button: closes the program.</extracomment>
        <translation>退出</translation>
    </message>
    <message>
        <source>Unknown</source>
        <translation>未知</translation>
    </message>
    <message>
        <source>Mode: %1</source>
        <extracomment>The camera&apos;s framing mode, as it last confirmed it (Mode as in way of working, not a menu). %1 is the mode&apos;s name, the same as on its button.</extracomment>
        <translation>模式：%1</translation>
    </message>
    <message>
        <source>Mode: UPD</source>
        <extracomment>The camera is in its firmware upgrade mode (UPD, the upgrade device).</extracomment>
        <translation>模式：升级</translation>
    </message>
    <message>
        <source>Configuration Failed</source>
        <translation>配置失败</translation>
    </message>
    <message>
        <source>Device offline</source>
        <translation>设备离线</translation>
    </message>
    <message>
        <source>Configuration Applied</source>
        <translation>配置已应用</translation>
    </message>
    <message>
        <source>The new settings have been set successfully.</source>
        <translation>新设置已成功应用。</translation>
    </message>
    <message>
        <source>Device: %1</source>
        <extracomment>The first status line. %1 is the name the camera gives itself, or AI_CAMERA (the camera) or UPD_DEVICES (the camera in its firmware upgrade mode) until it has said; those two stay as they are.</extracomment>
        <translation>设备：%1</translation>
    </message>
    <message>
        <source>Password</source>
        <extracomment>Title of the box that asks for the access code to the extra settings.</extracomment>
        <translation>密码</translation>
    </message>
    <message>
        <source>Input passwords:</source>
        <extracomment>The prompt of that box; the code is four digits.</extracomment>
        <translation>请输入密码：</translation>
    </message>
    <message>
        <source>Device: Not Found</source>
        <translation>设备：未找到</translation>
    </message>
    <message>
        <source>Status: Connected</source>
        <translation>状态：已连接</translation>
    </message>
    <message>
        <source>HID Error</source>
        <translation>HID 错误</translation>
    </message>
    <message>
        <source>Unable to open HID device.</source>
        <translation>无法打开 HID 设备。</translation>
    </message>
    <message>
        <source>Selected framing mode. Apply sends it to the camera.</source>
        <translation>已选中的取景模式。“应用”会将其发送到摄像头。</translation>
    </message>
    <message>
        <source>Framing mode, not selected.</source>
        <translation>取景模式，未选中。</translation>
    </message>
    <message>
        <source>Firmware image file</source>
        <translation>固件文件</translation>
    </message>
    <message>
        <source>Firmware version</source>
        <translation>固件版本</translation>
    </message>
    <message>
        <source>The firmware version the camera reports.</source>
        <translation>摄像头报告的固件版本。</translation>
    </message>
    <message>
        <source>The share of the firmware image sent to the device, then the device&apos;s own progress in installing it.</source>
        <translation>固件已传输到设备的比例，之后为设备自身的安装进度。</translation>
    </message>
    <message>
        <source>Microphone %1 level</source>
        <extracomment>The level meter of one of the camera&apos;s eight microphones; %1 is its number.</extracomment>
        <translation>麦克风 %1 电平</translation>
    </message>
    <message>
        <source>Reference %1 level</source>
        <extracomment>The level meter of one of the two reference channels; %1 is its number.</extracomment>
        <translation>参考通道 %1 电平</translation>
    </message>
    <message>
        <source>Sound direction %1</source>
        <extracomment>A bar showing from which direction, in degrees, sound reaches the camera; %1 is its number.</extracomment>
        <translation>声源方向 %1</translation>
    </message>
    <message>
        <source>Looks for the camera now.</source>
        <translation>立即查找摄像头。</translation>
    </message>
    <message>
        <source>Switches the camera&apos;s low-pass filter.</source>
        <translation>切换摄像头的低通滤波器。</translation>
    </message>
    <message>
        <source>Reference channel. This button has no effect.</source>
        <translation>参考通道。此按钮没有作用。</translation>
    </message>
    <message>
        <source>Asks the camera for its firmware version.</source>
        <translation>向摄像头查询固件版本。</translation>
    </message>
    <message>
        <source>Chooses the firmware image, a .bin file.</source>
        <translation>选择固件文件（.bin 文件）。</translation>
    </message>
    <message>
        <source>Sends the camera into its firmware upgrade mode.</source>
        <translation>使摄像头进入固件升级模式。</translation>
    </message>
    <message>
        <source>Uploads the chosen firmware image to the device in upgrade mode.</source>
        <translation>将所选固件传输到处于升级模式的设备。</translation>
    </message>
    <message>
        <source>Asks for the access code, then shows or hides the extra settings.</source>
        <translation>询问访问码，然后显示或隐藏更多设置。</translation>
    </message>
    <message>
        <source>Shows or hides the firmware upgrade controls.</source>
        <translation>显示或隐藏固件升级控件。</translation>
    </message>
    <message>
        <source>Sends the selected framing mode to the camera.</source>
        <translation>将所选取景模式发送到摄像头。</translation>
    </message>
    <message>
        <source>Closes the program.</source>
        <translation>关闭程序。</translation>
    </message>
    <message>
        <source>Invalid File</source>
        <translation>无效文件</translation>
    </message>
    <message>
        <source>Please select a .bin file.</source>
        <translation>请选择 .bin 文件。</translation>
    </message>
    <message>
        <source>upd info</source>
        <extracomment>Title of warnings about the firmware upgrade; UPD is the camera in its upgrade mode.</extracomment>
        <translation>升级信息</translation>
    </message>
    <message>
        <source>UPD Not Connect, Pls Enter UPD First!</source>
        <translation>升级设备未连接，请先进入升级模式！</translation>
    </message>
    <message>
        <source>No File</source>
        <translation>没有文件</translation>
    </message>
    <message>
        <source>No update file selected.</source>
        <translation>未选择升级文件。</translation>
    </message>
    <message>
        <source>File Not Found</source>
        <translation>找不到文件</translation>
    </message>
    <message>
        <source>Selected file does not exist.</source>
        <translation>所选文件不存在。</translation>
    </message>
    <message>
        <source>Selected file is not a .bin file.</source>
        <translation>所选文件不是 .bin 文件。</translation>
    </message>
    <message>
        <source>Selected file is empty.</source>
        <translation>所选文件为空。</translation>
    </message>
    <message>
        <source>Selected file is too large.</source>
        <translation>所选文件过大。</translation>
    </message>
    <message>
        <source>Read Error</source>
        <translation>读取错误</translation>
    </message>
    <message>
        <source>Cannot open selected file.</source>
        <translation>无法打开所选文件。</translation>
    </message>
    <message>
        <source>Selected file appears invalid (all-zero header).</source>
        <translation>所选文件似乎无效（文件头全为零）。</translation>
    </message>
    <message>
        <source>UPD device not connect</source>
        <translation>升级设备未连接</translation>
    </message>
    <message>
        <source>Cannot open selected file for upload.</source>
        <translation>无法打开所选文件进行传输。</translation>
    </message>
    <message>
        <source>选择文件</source>
        <extracomment>Title of the file dialog for choosing the firmware image (&quot;Choose a file&quot;).</extracomment>
        <translation>选择文件</translation>
    </message>
    <message>
        <source>Binary Files (*.bin);</source>
        <extracomment>The file dialog&apos;s filter. Keep &quot;(*.bin)&quot; and the closing semicolon as they are.</extracomment>
        <translation>二进制文件 (*.bin);</translation>
    </message>
    <message>
        <source>Upd info</source>
        <translation>升级信息</translation>
    </message>
    <message>
        <source>Upgrade start failed.</source>
        <translation>升级启动失败。</translation>
    </message>
    <message>
        <source>DOWNLOAD:</source>
        <extracomment>Names the progress bar while the firmware image is sent to the device.</extracomment>
        <translation>传输：</translation>
    </message>
    <message>
        <source>Upgrade start timeout. Abort.</source>
        <translation>设备未及时确认升级开始，已中止。</translation>
    </message>
    <message>
        <source>Write error during upload. Abort.</source>
        <translation>传输过程中写入错误，已中止。</translation>
    </message>
    <message>
        <source>The firmware image could not be read, so the upload was stopped and the device has only part of it. Check the file and start the upgrade again.</source>
        <translation>无法读取固件文件，传输已停止，设备只收到了其中一部分。请检查文件后重新开始升级。</translation>
    </message>
    <message>
        <source>The device did not accept the uploaded image (error code %1). Start the upgrade again.</source>
        <translation>设备未接受传输的固件（错误代码 %1）。请重新开始升级。</translation>
    </message>
    <message>
        <source>UPGRADE:</source>
        <extracomment>Names the progress bar while the device installs the new firmware.</extracomment>
        <translation>升级：</translation>
    </message>
    <message>
        <source>Upgrade completed ,Device will reboot now!</source>
        <translation>升级完成，设备即将重启！</translation>
    </message>
    <message>
        <source>The device left before the upgrade finished. If it comes back in upgrade mode, start the upgrade again.</source>
        <translation>升级完成前设备已断开。如果它以升级模式重新连接，请重新开始升级。</translation>
    </message>
    <message>
        <source>Kelvora Camera 2 Config</source>
        <extracomment>The program&apos;s name, as the desktop shows it when asking the user to wait before sleep or shutdown.</extracomment>
        <translation>Kelvora Camera 2 配置</translation>
    </message>
    <message>
        <source>Updating the camera&apos;s firmware; an interruption could leave the camera unusable</source>
        <extracomment>Why the program holds off sleep and shutdown; the desktop shows it when the user tries either.</extracomment>
        <translation>正在升级摄像头固件；中断可能导致摄像头无法使用</translation>
    </message>
    <message>
        <source>The device has stopped reporting its progress. Wait for it to restart; if it comes back in upgrade mode, start the upgrade again.</source>
        <translation>设备已停止报告进度。请等待其重启；如果它以升级模式重新出现，请重新开始升级。</translation>
    </message>
    <message>
        <source>Status: In use by %1 (pid %2)</source>
        <extracomment>The second status line while another program (the command-line tool, or this program started a second time) works on the camera and this window keeps off it. %1 is that program&apos;s name, %2 its process ID.</extracomment>
        <translation>状态：正被 %1 (PID %2) 使用</translation>
    </message>
    <message>
        <source>Status: In use by another program</source>
        <extracomment>As &quot;Status: In use by %1 (pid %2)&quot;, when the other program cannot be named.</extracomment>
        <translation>状态：正被其他程序使用</translation>
    </message>
    <message>
        <source>The camera is in use by %1 (pid %2). Nothing was sent to it. Try again once that program has finished.</source>
        <extracomment>The box shown when EnterUPD or Start finds another program working on the camera. %1 is that program&apos;s name, %2 its process ID.</extracomment>
        <translation>摄像头正被 %1 (PID %2) 使用。未向其发送任何内容。请在该程序结束后重试。</translation>
    </message>
    <message>
        <source>The camera is in use by another program. Nothing was sent to it. Try again once that program has finished.</source>
        <extracomment>As above, when the other program cannot be named.</extracomment>
        <translation>摄像头正被其他程序使用。未向其发送任何内容。请在该程序结束后重试。</translation>
    </message>
    <message>
        <source>Camera in use</source>
        <extracomment>Title of the box shown when EnterUPD or Start finds another program working on the camera.</extracomment>
        <translation>摄像头正在使用中</translation>
    </message>
</context>
</TS>
