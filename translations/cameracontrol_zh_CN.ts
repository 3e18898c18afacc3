<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>DeviceAccessNotices</name>
    <message>
        <source>This user may not open the camera&apos;s video device %1. Add the user to the group &quot;video&quot; and log in again, or use a desktop session that grants the seat&apos;s devices (see &quot;Privileges&quot; in the README).</source>
        <translation>当前用户无权打开摄像头的视频设备 %1。请将该用户加入“video”组并重新登录，或使用能够访问本机设备的桌面会话（参见 README 中的“Privileges”一节）。</translation>
    </message>
    <message>
        <source>This user may not open %1, through which a camera in its updater stage is upgraded. Install the rule 70-cameracontrol-updater.rules (the package does) and plug the camera in again, or add the user to the group &quot;disk&quot; (see &quot;Privileges&quot; in the README).</source>
        <translation>当前用户无权打开 %1，处于升级模式的摄像头需要通过它进行升级。请安装规则 70-cameracontrol-updater.rules（安装软件包时会一并安装）后重新插入摄像头，或将该用户加入“disk”组（参见 README 中的“Privileges”一节）。</translation>
    </message>
</context>
<context>
    <name>FormAbnormal</name>
    <message>
        <source>Upgrade</source>
        <translation>升级</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Anomaly detection, please upgrade it again.&lt;/h3&gt;</source>
        <translation>&lt;h3&gt;检测到异常，请重新升级。&lt;/h3&gt;</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Upgrade &amp;&amp; Reboot</source>
        <translation>升级并重启</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>打开文件</translation>
    </message>
    <message>
        <source>Upgrade File(*.zip)</source>
        <translation>升级文件 (*.zip)</translation>
    </message>
</context>
<context>
    <name>FormCustomizeMessagebox</name>
    <message>
        <source>Tips</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>The window will close automatically after %1 seconds.</source>
        <translation>窗口将在 %1 秒后自动关闭。</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>消息</translation>
    </message>
</context>
<context>
    <name>FormUpgrade</name>
    <message>
        <source>Upgrade</source>
        <translation>升级</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Get Ready to Update&lt;/h3&gt;Make sure your camera is not in use by another application before proceeding with this software update. &lt;br&gt;&lt;br&gt;This update takes a few minutes to complete. &lt;br&gt;&lt;br&gt;&lt;b&gt;Do not disconnect your device&lt;/b&gt; during the update process.</source>
        <translation>&lt;h3&gt;准备更新&lt;/h3&gt;继续本次软件更新之前，请确保摄像头未被其他应用程序占用。&lt;br&gt;&lt;br&gt;更新需要几分钟时间。&lt;br&gt;&lt;br&gt;更新过程中&lt;b&gt;请勿断开设备&lt;/b&gt;。</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>消息</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Control</source>
        <translation>控制</translation>
    </message>
    <message>
        <source>Support</source>
        <translation>支持</translation>
    </message>
    <message>
        <source>HDR:</source>
        <translation>HDR：</translation>
    </message>
    <message>
        <source>Powerline Frequency:
(Anti Flicker)</source>
        <translation>电源频率：
（防闪烁）</translation>
    </message>
    <message>
        <source>Tracking Mode:</source>
        <translation>跟踪模式：</translation>
    </message>
    <message>
        <source>Tracking Effect:</source>
        <translation>跟踪效果：</translation>
    </message>
    <message>
        <source>Tracking Speed:</source>
        <translation>跟踪速度：</translation>
    </message>
    <message>
        <source>Mic：</source>
        <translation>麦克风：</translation>
    </message>
    <message>
        <source>Restore Defaults:</source>
        <translation>恢复默认设置：</translation>
    </message>
    <message>
        <source>Restore Defaults</source>
        <translation>恢复默认</translation>
    </message>
    <message>
        <source>Device Information</source>
        <translation>设备信息</translation>
    </message>
    <message>
        <source>Device Model:</source>
        <translation>设备型号：</translation>
    </message>
    <message>
        <source>Current Version:</source>
        <translation>当前版本：</translation>
    </message>
    <message>
        <source>Customer Software Update</source>
        <translation>软件更新</translation>
    </message>
    <message>
        <source>Upgrade &amp;&amp; Reboot</source>
        <translation>升级并重启</translation>
    </message>
    <message>
        <source>Desktop Version</source>
        <translation>软件版本</translation>
    </message>
    <message>
        <source>Current:</source>
        <translation>当前：</translation>
    </message>
    <message>
        <source>The setting has timed out, please try again.</source>
        <translation>设置超时，请重试。</translation>
    </message>
    <message>
        <source>The operation has timed out, please try again.</source>
        <translation>操作超时，请重试。</translation>
    </message>
    <message>
        <source>&lt;h6 style=text-align:center&gt;&lt;font color = gray&gt;Click the icon to start preview.&lt;/font&gt;&lt;/h6&gt; &lt;h6 style=text-align:center&gt;&lt;font color = orange&gt;Other apps can’t access the camera while you preview it on this app.&lt;/font&gt;&lt;/h6&gt;</source>
        <translation>&lt;h6 style=text-align:center&gt;&lt;font color = gray&gt;点击图标开始预览。&lt;/font&gt;&lt;/h6&gt; &lt;h6 style=text-align:center&gt;&lt;font color = orange&gt;在本应用中预览时，其他应用无法访问摄像头。&lt;/font&gt;&lt;/h6&gt;</translation>
    </message>
    <message>
        <source>Cannot exit during the upgrade process!</source>
        <translation>升级过程中无法退出！</translation>
    </message>
    <message>
        <source>To complete this process, your device may take a few seconds to restart.</source>
        <translation>为完成此操作，设备可能需要几秒钟重新启动。</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Restore Defaults&lt;/h3&gt;<byte value="xd"/>
To complete this process, your device may take a few seconds to restart.</source>
        <translation>&lt;h3&gt;恢复默认设置&lt;/h3&gt;<byte value="xd"/>
为完成此操作，设备可能需要几秒钟重新启动。</translation>
    </message>
    <message>
        <source>&lt;style&gt; a {text-decoration: none} &lt;/style&gt;&lt;a style=&apos;color: %2;&apos; href=&quot;%1&quot; target=_blank&gt;Documentation&lt;/a&gt;</source>
        <translation>&lt;style&gt; a {text-decoration: none} &lt;/style&gt;&lt;a style=&apos;color: %2;&apos; href=&quot;%1&quot; target=_blank&gt;文档&lt;/a&gt;</translation>
    </message>
    <message>
        <source>&lt;style&gt; a {text-decoration: none} &lt;/style&gt;&lt;a style=&apos;color: %2;&apos; href=&quot;%1/&quot;&gt;User Guide</source>
        <translation>&lt;style&gt; a {text-decoration: none} &lt;/style&gt;&lt;a style=&apos;color: %2;&apos; href=&quot;%1/&quot;&gt;用户指南</translation>
    </message>
    <message>
        <source>&lt;style&gt; a {text-decoration: none} &lt;/style&gt;&lt;a style=&apos;color: %2;&apos; href=&quot;%1/&quot;&gt;Contact Support</source>
        <translation>&lt;style&gt; a {text-decoration: none} &lt;/style&gt;&lt;a style=&apos;color: %2;&apos; href=&quot;%1/&quot;&gt;联系技术支持</translation>
    </message>
    <message>
        <source>Open File</source>
        <translation>打开文件</translation>
    </message>
    <message>
        <source>Upgrade File(*.zip)</source>
        <translation>升级文件 (*.zip)</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Unable to upgrade now.&lt;/h3&gt;<byte value="xd"/>
The format of firmware file is not correct.</source>
        <translation>&lt;h3&gt;暂时无法升级。&lt;/h3&gt;<byte value="xd"/>
固件文件格式不正确。</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Unable to upgrade now.&lt;/h3&gt;<byte value="xd"/>
The firmware file is corrupted.</source>
        <translation>&lt;h3&gt;暂时无法升级。&lt;/h3&gt;<byte value="xd"/>
固件文件已损坏。</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Unable to upgrade now.&lt;/h3&gt;<byte value="xd"/>
The firmware version does not match with this model.</source>
        <translation>&lt;h3&gt;暂时无法升级。&lt;/h3&gt;<byte value="xd"/>
固件版本与此型号不匹配。</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Firmware upgrade is successful!&lt;/h3&gt;</source>
        <translation>&lt;h3&gt;固件升级成功！&lt;/h3&gt;</translation>
    </message>
    <message>
        <source>&lt;h3&gt;Firmware upgrade failed!&lt;/h3&gt;<byte value="xd"/>
please try to unplug and plug the USB cable for upgrade again.</source>
        <translation>&lt;h3&gt;固件升级失败！&lt;/h3&gt;<byte value="xd"/>
请拔下 USB 线缆并重新插入，然后再次升级。</translation>
    </message>
    <message>
        <source>Light theme</source>
        <translation>浅色主题</translation>
    </message>
    <message>
        <source>Switches between the light and the dark theme.</source>
        <translation>在浅色主题和深色主题之间切换。</translation>
    </message>
    <message>
        <source>Dark theme</source>
        <translation>深色主题</translation>
    </message>
    <message>
        <source>Shows the camera&apos;s settings and the preview.</source>
        <translation>显示摄像头设置和预览。</translation>
    </message>
    <message>
        <source>Shows the device information, the firmware upgrade and the support links.</source>
        <translation>显示设备信息、固件升级和支持链接。</translation>
    </message>
    <message>
        <source>Cameras</source>
        <translation>摄像头</translation>
    </message>
    <message>
        <source>Choosing a camera opens it.</source>
        <translation>选择摄像头即可将其打开。</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>预览</translation>
    </message>
    <message>
        <source>Space or Enter starts and stops the preview.</source>
        <translation>按空格键或回车键开始或停止预览。</translation>
    </message>
    <message>
        <source>HDR</source>
        <translation>HDR</translation>
    </message>
    <message>
        <source>Anti-flicker</source>
        <translation>防闪烁</translation>
    </message>
    <message>
        <source>Tracking mode</source>
        <translation>跟踪模式</translation>
    </message>
    <message>
        <source>Tracking effect</source>
        <translation>跟踪效果</translation>
    </message>
    <message>
        <source>Tracking speed</source>
        <translation>跟踪速度</translation>
    </message>
    <message>
        <source>Microphone</source>
        <translation>麦克风</translation>
    </message>
    <message>
        <source>Direction pad</source>
        <translation>方向控制盘</translation>
    </message>
    <message>
        <source>The arrow keys move the picture one step; + and - zoom.</source>
        <translation>方向键每次将画面移动一步；按 + 和 - 缩放。</translation>
    </message>
    <message>
        <source>Tilt up</source>
        <translation>向上倾斜</translation>
    </message>
    <message>
        <source>Tilt down</source>
        <translation>向下倾斜</translation>
    </message>
    <message>
        <source>Pan left</source>
        <translation>向左平移</translation>
    </message>
    <message>
        <source>Pan right</source>
        <translation>向右平移</translation>
    </message>
    <message>
        <source>Zoom</source>
        <translation>缩放</translation>
    </message>
    <message>
        <source>From 100% to 800%; + and - change it by one step.</source>
        <translation>范围 100% 至 800%；按 + 和 - 每次调整一级。</translation>
    </message>
    <message>
        <source>Restores the camera&apos;s settings; the camera may restart.</source>
        <translation>恢复摄像头的默认设置；摄像头可能会重新启动。</translation>
    </message>
    <message>
        <source>Shows or hides the section.</source>
        <translation>展开或收起此部分。</translation>
    </message>
    <message>
        <source>Asks for a firmware package and upgrades the camera with it.</source>
        <translation>选择固件包并用它升级摄像头。</translation>
    </message>
    <message>
        <source>Upgrade progress</source>
        <translation>升级进度</translation>
    </message>
    <message>
        <source>The upgrade needs administrator rights, and they were not given. Nothing was changed on the camera.</source>
        <translation>升级需要管理员权限，但未获得授权。摄像头未作任何更改。</translation>
    </message>
    <message>
        <source>The upgrade needs administrator rights, and the program could not be started with them (%1).</source>
        <translation>升级需要管理员权限，但无法以管理员权限启动程序（%1）。</translation>
    </message>
    <message>
        <source>The camera to upgrade is not connected.</source>
        <translation>要升级的摄像头未连接。</translation>
    </message>
    <message>
        <source>Profile:</source>
        <translation>配置文件：</translation>
    </message>
    <message>
        <source>Save as...</source>
        <translation>另存为...</translation>
    </message>
    <message>
        <source>Apply</source>
        <translation>应用</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Apply when this camera connects</source>
        <translation>连接此摄像头时应用</translation>
    </message>
    <message>
        <source>Ctrl+%1 applies it</source>
        <translation>按 Ctrl+%1 应用</translation>
    </message>
    <message>
        <source>Name of the profile:</source>
        <translation>配置文件名称：</translation>
    </message>
    <message>
        <source>&quot;%1&quot; cannot name a profile: give 1 to 64 characters, without / \ : * ? &quot; &lt; &gt; | and not starting with a point.</source>
        <translation>“%1”不能用作配置文件名称：请使用 1 到 64 个字符，不含 / \ : * ? &quot; &lt; &gt; |，且不以句点开头。</translation>
    </message>
    <message>
        <source>A profile named %1 exists. Replace it?</source>
        <translation>名为 %1 的配置文件已存在。要替换吗？</translation>
    </message>
    <message>
        <source>Saved %1.</source>
        <translation>已保存 %1。</translation>
    </message>
    <message>
        <source>Delete the profile %1?</source>
        <translation>删除配置文件 %1？</translation>
    </message>
    <message>
        <source>%1: nothing to change.</source>
        <translation>%1：无需更改。</translation>
    </message>
    <message>
        <source>%1: changed %2.</source>
        <translation>%1：已更改 %2。</translation>
    </message>
    <message>
        <source>Not taken: %1.</source>
        <translation>未采用：%1。</translation>
    </message>
    <message>
        <source>Left out: %1.</source>
        <translation>已略过：%1。</translation>
    </message>
    <message>
        <source>The camera restarts; the rest follows when it is back.</source>
        <translation>摄像头正在重启；其余设置将在其恢复后应用。</translation>
    </message>
    <message>
        <source>Picture</source>
        <translation>画面</translation>
    </message>
    <message>
        <source>Shows the picture controls of the camera: brightness, white balance, exposure.</source>
        <translation>显示摄像头的画面调节：亮度、白平衡、曝光。</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>配置文件</translation>
    </message>
    <message>
        <source>Ctrl+1 to Ctrl+9 apply the first nine profiles.</source>
        <translation>Ctrl+1 到 Ctrl+9 应用前九个配置文件。</translation>
    </message>
</context>
<context>
    <name>PicturePage</name>
    <message>
        <source>Brightness</source>
        <translation>亮度</translation>
    </message>
    <message>
        <source>Contrast</source>
        <translation>对比度</translation>
    </message>
    <message>
        <source>Saturation</source>
        <translation>饱和度</translation>
    </message>
    <message>
        <source>Hue</source>
        <translation>色调</translation>
    </message>
    <message>
        <source>Automatic hue</source>
        <translation>自动色调</translation>
    </message>
    <message>
        <source>Sharpness</source>
        <translation>锐度</translation>
    </message>
    <message>
        <source>Gamma</source>
        <translation>伽马</translation>
    </message>
    <message>
        <source>Gain</source>
        <translation>增益</translation>
    </message>
    <message>
        <source>Automatic gain</source>
        <translation>自动增益</translation>
    </message>
    <message>
        <source>Backlight compensation</source>
        <translation>背光补偿</translation>
    </message>
    <message>
        <source>Power line frequency</source>
        <translation>电源频率</translation>
    </message>
    <message>
        <source>Automatic white balance</source>
        <translation>自动白平衡</translation>
    </message>
    <message>
        <source>White balance temperature</source>
        <translation>白平衡色温</translation>
    </message>
    <message>
        <source>Exposure mode</source>
        <translation>曝光模式</translation>
    </message>
    <message>
        <source>Exposure time</source>
        <translation>曝光时间</translation>
    </message>
    <message>
        <source>Lower frame rate in low light</source>
        <translation>弱光时降低帧率</translation>
    </message>
    <message>
        <source>Focus</source>
        <translation>对焦</translation>
    </message>
    <message>
        <source>Automatic focus</source>
        <translation>自动对焦</translation>
    </message>
    <message>
        <source>Open a camera to set its picture.</source>
        <translation>请先打开摄像头，再调整画面。</translation>
    </message>
    <message>
        <source>Reset picture</source>
        <translation>重置画面</translation>
    </message>
    <message>
        <source>This camera offers no picture controls.</source>
        <translation>此摄像头不提供画面调节。</translation>
    </message>
    <message>
        <source>%1 ms</source>
        <translation>%1 毫秒</translation>
    </message>
    <message>
        <source>Manual Mode</source>
        <translation>手动</translation>
    </message>
    <message>
        <source>Auto Mode</source>
        <translation>自动</translation>
    </message>
    <message>
        <source>Shutter Priority Mode</source>
        <translation>快门优先</translation>
    </message>
    <message>
        <source>Aperture Priority Mode</source>
        <translation>光圈优先</translation>
    </message>
    <message>
        <source>Disabled</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>自动</translation>
    </message>
</context>
<context>
    <name>PictureSettings</name>
    <message>
        <source>%1 can only be read; the camera sets it itself.</source>
        <translation>%1 只能读取，由摄像头自行设置。</translation>
    </message>
    <message>
        <source>%1 takes one of %2; %3 is not one of them.</source>
        <translation>%1 只能取 %2 之一；%3 不在其中。</translation>
    </message>
    <message>
        <source>%1 must be between %2 and %3; %4 is outside that range.</source>
        <translation>%1 必须在 %2 到 %3 之间；%4 超出了该范围。</translation>
    </message>
    <message>
        <source>%1 moves in steps of %2 from %3; %4 is between two steps.</source>
        <translation>%1 以 %2 为步长（从 %3 起）变化；%4 位于两个步长之间。</translation>
    </message>
    <message>
        <source>%1 is set by the camera while %2 is on; set %2 to %3 first.</source>
        <translation>%2 开启时 %1 由摄像头自行设置；请先将 %2 设为 %3。</translation>
    </message>
    <message>
        <source>%1 is inactive now; the camera takes no value for it.</source>
        <translation>%1 当前未启用，摄像头不接受其数值。</translation>
    </message>
    <message>
        <source>No camera is open.</source>
        <translation>未打开任何摄像头。</translation>
    </message>
    <message>
        <source>The camera offers no picture control named %1.</source>
        <translation>摄像头没有名为 %1 的画面调节项。</translation>
    </message>
    <message>
        <source>The camera did not answer the read of %1 (%2).</source>
        <translation>摄像头未响应 %1 的读取（%2）。</translation>
    </message>
    <message>
        <source>The camera refused %1 = %2 (%3).</source>
        <translation>摄像头拒绝了 %1 = %2（%3）。</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Connected</source>
        <translation>已连接</translation>
    </message>
    <message>
        <source>Disconnected</source>
        <translation>已断开</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>50Hz</source>
        <translation>50Hz</translation>
    </message>
    <message>
        <source>60Hz</source>
        <translation>60Hz</translation>
    </message>
    <message>
        <source>Enable</source>
        <translation>启用</translation>
    </message>
    <message>
        <source>Disable</source>
        <translation>禁用</translation>
    </message>
    <message>
        <source>Smooth</source>
        <translation>平滑</translation>
    </message>
    <message>
        <source>Immediate</source>
        <translation>即时</translation>
    </message>
    <message>
        <source>Auto Framing</source>
        <translation>自动取景</translation>
    </message>
    <message>
        <source>Presenter Tracking</source>
        <translation>演讲者跟踪</translation>
    </message>
    <message>
        <source>Slow</source>
        <translation>慢速</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>正常</translation>
    </message>
    <message>
        <source>Fast</source>
        <translation>快速</translation>
    </message>
</context>
<context>
    <name>UpgradeThread</name>
    <message>
        <source>Failed to find camera device.</source>
        <translation>未找到摄像头设备。</translation>
    </message>
    <message>
        <source>sending the updater program</source>
        <translation>正在发送升级程序</translation>
    </message>
    <message>
        <source>sending the boot loader</source>
        <translation>正在发送引导程序</translation>
    </message>
    <message>
        <source>No camera device detected.</source>
        <translation>未检测到摄像头设备。</translation>
    </message>
    <message>
        <source>switching the camera to its updater</source>
        <translation>正在将摄像头切换到升级模式</translation>
    </message>
    <message>
        <source>waiting for the camera&apos;s updater disk</source>
        <translation>正在等待摄像头的升级磁盘</translation>
    </message>
    <message>
        <source>running the upgrade script</source>
        <translation>正在运行升级脚本</translation>
    </message>
    <message>
        <source>waiting for the camera to come back</source>
        <translation>正在等待摄像头重新连接</translation>
    </message>
    <message>
        <source>Upgrade done.</source>
        <translation>升级完成。</translation>
    </message>
    <message>
        <source>Upgrade failed.</source>
        <translation>升级失败。</translation>
    </message>
</context>
</TS>
