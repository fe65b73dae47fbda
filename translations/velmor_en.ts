<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>AboutDialog</name>
    <message>
        <location filename="../app/AboutDialog.cpp" line="+13"/>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>Velmor电源监控 %1</source>
        <translation>Velmor Power Supply Monitor %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>自由软件，按 GNU 通用公共许可证第 3 版或更新版本发布（GPL-3.0-or-later）。</source>
        <translation>Free software under the GNU General Public License, version 3 or later (GPL-3.0-or-later).</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>说明书 README.md（安装后在 /usr/share/doc/velmor-monitor/）的各节：</source>
        <translation>Sections of the manual, README.md (installed in /usr/share/doc/velmor-monitor/):</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>记录默认保存在：%1</source>
        <translation>Recordings are proposed in: %1</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>菜单：右键单击读数区或窗口的空白处。</source>
        <translation>Menu: right-click the read-outs or any empty part of the window.</translation>
    </message>
</context>
<context>
    <name>Controls</name>
    <message>
        <location filename="../app/Controls.cpp" line="+109"/>
        <source>双击读取版本信息！</source>
        <translation>Double-click to read the version information!</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>序列号</source>
        <translation>Serial number</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>版本号</source>
        <translation>Version</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>独立</source>
        <translation>Ind.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>串联</source>
        <translation>Ser.</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>并联</source>
        <translation>Par.</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>I路</source>
        <translation>I</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>II路</source>
        <translation>II</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>清除告警</source>
        <translation>Clr alarm</translation>
    </message>
    <message>
        <location line="+1"/>
        <location filename="../app/VelmorMain.cpp" line="+113"/>
        <source>开</source>
        <translation>On</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>清除记录</source>
        <translation>Clear log</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>退出</source>
        <translation>Exit</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>计数清零</source>
        <translation>Reset counters</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>串口</source>
        <translation>Port</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>波特率</source>
        <translation>Baud</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>校验位</source>
        <translation>Parity</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>数据位</source>
        <translation>Data</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>停止位</source>
        <translation>Stop</translation>
    </message>
    <message>
        <location line="+4"/>
        <location filename="../app/VelmorMain.cpp" line="+135"/>
        <source>打开串口</source>
        <translation>Open port</translation>
    </message>
    <message>
        <location line="+6"/>
        <location filename="../app/VelmorMain.cpp" line="-148"/>
        <source>开始巡检</source>
        <translation>Start polling</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>电源型号:</source>
        <translation>Rating:</translation>
    </message>
    <message>
        <location line="+21"/>
        <source>电压设定(V):0 - 550</source>
        <translation>Voltage (V):0 - 550</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>电压设定</source>
        <translation>Set voltage</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>过压设置(V):0 - 550</source>
        <translation>OVP (V):0 - 550</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>过压设定</source>
        <translation>Set OVP</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>恒流设定(A):0 - 5</source>
        <translation>Current (A):0 - 5</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>恒流设定</source>
        <translation>Set current</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>过流设定(A):0 - 5</source>
        <translation>OCP (A):0 - 5</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>过流设定</source>
        <translation>Set OCP</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>读取的电流电压及过流过压值</source>
        <translation>Readings: voltage, current, OVP and OCP</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>当前电压(V)</source>
        <translation>Measured voltage (V)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>恒压值(V)</source>
        <translation>Voltage setpoint (V)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>过压值(V)</source>
        <translation>OVP level (V)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>当前电流(A)</source>
        <translation>Measured current (A)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>恒流值(A)</source>
        <translation>Current setpoint (A)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>过流值(A)</source>
        <translation>OCP level (A)</translation>
    </message>
    <message>
        <location line="+22"/>
        <source>显示日前</source>
        <translation>Date</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>当前时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <location filename="../app/VelmorMain.cpp" line="+0"/>
        <source>停止巡检</source>
        <translation>Stop polling</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>关</source>
        <translation>Off</translation>
    </message>
    <message>
        <location line="+136"/>
        <source>关闭串口</source>
        <translation>Close port</translation>
    </message>
    <message>
        <location line="+34"/>
        <source>恒压值范围:%1 -%2</source>
        <translation>Voltage range:%1 -%2</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>过压值范围:%1 -%2</source>
        <translation>OVP range:%1 -%2</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>恒流值范围:%1 - %2</source>
        <translation>Current range: %1 - %2</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>过流值范围: %1 - %2</source>
        <translation>OCP range: %1 - %2</translation>
    </message>
</context>
<context>
    <name>CsvReader</name>
    <message>
        <location filename="../core/record/CsvReader.cpp" line="+114"/>
        <source>表头不是记录文件的表头</source>
        <translation>the first line is not the header of a recording</translation>
    </message>
    <message>
        <location line="+31"/>
        <source>文件大于 %1 MB</source>
        <translation>the file is larger than %1 MB</translation>
    </message>
</context>
<context>
    <name>CsvRecorder</name>
    <message>
        <location filename="../core/record/CsvRecorder.cpp" line="+112"/>
        <source>文件已被删除</source>
        <translation>the file has been deleted</translation>
    </message>
</context>
<context>
    <name>DesktopNotifier</name>
    <message>
        <location filename="../app/DesktopNotifier.cpp" line="+36"/>
        <source>Velmor电源监控</source>
        <translation>Velmor Power Supply Monitor</translation>
    </message>
</context>
<context>
    <name>MessageBoxes</name>
    <message>
        <location filename="../app/MessageBoxes.cpp" line="+6"/>
        <source>没有成功，请重试</source>
        <translation>The port did not open. Please try again.</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>VELMOR电源</source>
        <translation>VELMOR power supply</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>设定值超出合法范围</source>
        <translation>The setpoint is out of range.</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>Velmor电源</source>
        <translation>Velmor power supply</translation>
    </message>
</context>
<context>
    <name>MeterTools</name>
    <message>
        <location filename="../app/MeterTools.cpp" line="+27"/>
        <source>能量计</source>
        <translation>Energy meter</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>输出定时…</source>
        <translation>Output timer…</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>输出定时已到，输出已关闭</source>
        <translation>Output timer ran out, output switched off</translation>
    </message>
</context>
<context>
    <name>MeterWindow</name>
    <message>
        <location filename="../app/MeterWindow.cpp" line="+31"/>
        <source>能量计</source>
        <translation>Energy meter</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>功率</source>
        <translation>Power</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>能量</source>
        <translation>Energy</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电荷量</source>
        <translation>Charge</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>输出时间</source>
        <translation>Output on</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>输出定时</source>
        <translation>Output timer</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>清零</source>
        <translation>Reset</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>输出定时…</source>
        <translation>Output timer…</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>%1，等待输出打开</source>
        <translation>%1, waiting for the output to come on</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>剩余 %1</source>
        <translation>%1 left</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>未设定</source>
        <translation>Not set</translation>
    </message>
</context>
<context>
    <name>ModuleFile</name>
    <message>
        <location filename="../app/ModuleFile.cpp" line="+26"/>
        <source>未找到 %1</source>
        <translation>%1 not found</translation>
    </message>
</context>
<context>
    <name>Notices</name>
    <message>
        <location filename="../core/supply/Notices.cpp" line="+6"/>
        <source>串口没有打开，请打开串口</source>
        <translation>The port is not open: open the port first</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>没有发现此串口或被占用</source>
        <translation>Port not found, or in use</translation>
    </message>
</context>
<context>
    <name>OutputTimerDialog</name>
    <message>
        <location filename="../app/OutputTimerDialog.cpp" line="+26"/>
        <source> 时</source>
        <translation> h</translation>
    </message>
    <message>
        <location line="+1"/>
        <source> 分</source>
        <translation> min</translation>
    </message>
    <message>
        <location line="+1"/>
        <source> 秒</source>
        <translation> s</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>输出定时</source>
        <translation>Output timer</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>输出打开后经过此时间自动关闭输出：</source>
        <translation>Switch the output off once it has been on for:</translation>
    </message>
    <message>
        <location line="+9"/>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>取消定时</source>
        <translation>Cancel timer</translation>
    </message>
    <message>
        <location line="+35"/>
        <source>定时应在 1 秒到 %1 小时之间</source>
        <translation>The time must be between 1 s and %1 hours</translation>
    </message>
</context>
<context>
    <name>ProgramFile</name>
    <message>
        <location filename="../core/program/ProgramFile.cpp" line="+178"/>
        <source>无法读取文件：%1</source>
        <translation>Cannot read the file: %1</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>文件太大：程序文件最多 %1 字节</source>
        <translation>File too large: a program file holds at most %1 bytes</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>文件不是 UTF-8 文本</source>
        <translation>The file is not UTF-8 text</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>第 %1 行：第一行应为 %2</source>
        <translation>Line %1: the first line should be %2</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>第 %1 行：列应为 %2</source>
        <translation>Line %1: the columns should be %2</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>第 %1 行第 %2 列：不是数字（小数点用 .）</source>
        <translation>Line %1, column %2: not a number (use . as the decimal point)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>第 %1 行：停留时间应在 %2 到 %3 秒之间</source>
        <translation>Line %1: the dwell time must be %2 to %3 s</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>第 %1 行：输出应为 on 或 off</source>
        <translation>Line %1: the output must be on or off</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>第 %1 行：程序最多 %2 步</source>
        <translation>Line %1: a program has at most %2 steps</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>文件中没有步骤</source>
        <translation>No steps in the file</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>第 %1 行：行太长</source>
        <translation>Line %1: line too long</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>第 %1 行第 %2 列：结束条件应为空，或 I&lt;数、I&gt;数、V&lt;数、V&gt;数 之一（如 I&lt;0.05）</source>
        <translation>Line %1, column %2: the end condition must be empty or one of I&lt;number, I&gt;number, V&lt;number, V&gt;number (such as I&lt;0.05)</translation>
    </message>
</context>
<context>
    <name>ProgramTools</name>
    <message>
        <location filename="../app/ProgramTools.cpp" line="+15"/>
        <source>程序运行…</source>
        <translation>Program run…</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>监视限值…</source>
        <translation>Watch limits…</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>监视限值</source>
        <translation>Watch limits</translation>
    </message>
    <message>
        <location line="+26"/>
        <source>电压超过上限</source>
        <translation>Voltage above upper limit</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>电压低于下限</source>
        <translation>Voltage below lower limit</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电流超过上限</source>
        <translation>Current above upper limit</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>电流低于下限</source>
        <translation>Current below lower limit</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>%1 %2 %3：%4 %3</source>
        <translation>%1 (%2 %3): %4 %3</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>，输出已关闭</source>
        <translation>, output switched off</translation>
    </message>
</context>
<context>
    <name>ProgramWindow</name>
    <message>
        <location filename="../app/ProgramWindow.cpp" line="+14"/>
        <source>程序运行</source>
        <translation>Program run</translation>
    </message>
    <message>
        <location line="+39"/>
        <source>标记的步骤超出设定范围（电源型号决定的范围），程序没有开始</source>
        <translation>The marked steps are outside the range the supply&apos;s rating allows; the program did not start</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>没有步骤，程序没有开始</source>
        <translation>No steps; the program did not start</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>串口没有打开，程序没有开始</source>
        <translation>The port is not open; the program did not start</translation>
    </message>
    <message>
        <location line="+23"/>
        <source>程序已停止，输出已关闭</source>
        <translation>Program stopped, output switched off</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>串口断开，程序已停止；串口再次打开时关闭输出</source>
        <translation>Port lost, program stopped; the output is switched off when the port opens again</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>第 %1 步超出设定范围，程序已停止</source>
        <translation>Step %1 is out of range; program stopped</translation>
    </message>
</context>
<context>
    <name>RampDialog</name>
    <message>
        <location filename="../app/RampDialog.cpp" line="+18"/>
        <source>斜坡</source>
        <translation>Ramp</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电压</source>
        <translation>Voltage</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>电流</source>
        <translation>Current</translation>
    </message>
    <message>
        <location line="+3"/>
        <location line="+2"/>
        <source>电流(A)</source>
        <translation>Current (A)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>电压(V)</source>
        <translation>Voltage (V)</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>斜坡量</source>
        <translation>Ramp</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>起点</source>
        <translation>From</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>终点</source>
        <translation>To</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>步数</source>
        <translation>Steps</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>总时间(s)</source>
        <translation>Total time (s)</translation>
    </message>
    <message>
        <location line="+16"/>
        <source>请填数字（小数点用 .）；每步停留 %1 到 %2 秒</source>
        <translation>Enter numbers (use . as the decimal point); each step dwells %1 to %2 s</translation>
    </message>
</context>
<context>
    <name>ReadoutMenu</name>
    <message>
        <location filename="../app/ReadoutMenu.cpp" line="+20"/>
        <source>开始记录…</source>
        <translation>Start recording…</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>停止记录</source>
        <translation>Stop recording</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>自动重连</source>
        <translation>Reconnect automatically</translation>
    </message>
    <message>
        <location line="+7"/>
        <source>关于…</source>
        <translation>About…</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>右键单击此处或窗口的空白处打开菜单：
记录、自动重连、趋势图、程序运行、监视限值、远程控制、能量计、输出定时、关于</source>
        <translation>Right-click here or any empty part of the window for the menu:
recording, reconnection, trend, programmed runs, watch limits, remote control, energy meter, output timer, about</translation>
    </message>
</context>
<context>
    <name>RecordingControl</name>
    <message>
        <location filename="../app/RecordingControl.cpp" line="+17"/>
        <source>记录失败：</source>
        <translation>Recording failed: </translation>
    </message>
    <message>
        <location line="+18"/>
        <source>开始记录</source>
        <translation>Start recording</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <location line="+60"/>
        <source>● 记录 %1</source>
        <translation>● REC %1</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>Velmor电源</source>
        <translation>Velmor power supply</translation>
    </message>
</context>
<context>
    <name>RemoteControl</name>
    <message>
        <location filename="../app/RemoteControl.cpp" line="+19"/>
        <source>远程控制 (SCPI)</source>
        <translation>Remote control (SCPI)</translation>
    </message>
    <message>
        <location line="+49"/>
        <source>远程控制无法启动：</source>
        <translation>Remote control failed to start: </translation>
    </message>
    <message>
        <location line="+19"/>
        <source>远程 %1</source>
        <translation>Remote %1</translation>
    </message>
</context>
<context>
    <name>RemoteModuleFile</name>
    <message>
        <location filename="../app/RemoteModule.cpp" line="+13"/>
        <source>无法加载远程模块：</source>
        <translation>Cannot load the remote module: </translation>
    </message>
</context>
<context>
    <name>RunMonitor</name>
    <message>
        <location filename="../app/RunMonitor.cpp" line="+26"/>
        <source>无限循环</source>
        <translation>Endless</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>结束时保持输出状态</source>
        <translation>Keep output state at end</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>开始</source>
        <translation>Start</translation>
    </message>
    <message>
        <location line="+0"/>
        <location line="+72"/>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <location line="-71"/>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>重复次数</source>
        <translation>Repeat</translation>
    </message>
    <message>
        <location line="+52"/>
        <source>完成</source>
        <translation>Done</translation>
    </message>
    <message>
        <location line="+11"/>
        <source>继续</source>
        <translation>Resume</translation>
    </message>
    <message>
        <location line="+15"/>
        <source>第 %1 遍（无限）</source>
        <translation>pass %1 (endless)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>第 %1/%2 遍</source>
        <translation>pass %1/%2</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>第 %1/%2 步 %3 剩余 %4</source>
        <translation>Step %1/%2, %3, %4 left</translation>
    </message>
</context>
<context>
    <name>StepEditor</name>
    <message>
        <location filename="../app/StepEditor.cpp" line="+26"/>
        <source>程序文件 (*.csv)</source>
        <translation>Program files (*.csv)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>保存程序</source>
        <translation>Save program</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>打开程序</source>
        <translation>Open program</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>电压(V)</source>
        <translation>Voltage (V)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>电流(A)</source>
        <translation>Current (A)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>停留(s)</source>
        <translation>Dwell (s)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>输出</source>
        <translation>Output</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>结束条件</source>
        <translation>Until</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>空，或读数到达时提前结束本步：I&lt;0.05、I&gt;1.5、V&lt;3.0、V&gt;12</source>
        <translation>Empty, or the reading that ends the step early: I&lt;0.05, I&gt;1.5, V&lt;3.0, V&gt;12</translation>
    </message>
    <message>
        <location line="+10"/>
        <location line="+44"/>
        <source>开</source>
        <translation>On</translation>
    </message>
    <message>
        <location line="-44"/>
        <location line="+44"/>
        <source>关</source>
        <translation>Off</translation>
    </message>
    <message>
        <location line="-40"/>
        <source>打开…</source>
        <translation>Open…</translation>
    </message>
    <message>
        <location line="+5"/>
        <source>保存…</source>
        <translation>Save…</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>添加</source>
        <translation>Add</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>删除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>上移</source>
        <translation>Up</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>下移</source>
        <translation>Down</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>斜坡…</source>
        <translation>Ramp…</translation>
    </message>
    <message>
        <location line="+86"/>
        <source>标记的格子不是数字，或停留时间不在 %1 到 %2 秒之间</source>
        <translation>The marked cells are not numbers, or the dwell time is not %1 to %2 s</translation>
    </message>
    <message>
        <location line="+4"/>
        <source>标记的结束条件应为空，或 I&lt;数、I&gt;数、V&lt;数、V&gt;数 之一（如 I&lt;0.05）</source>
        <translation>The marked end conditions must be empty or one of I&lt;number, I&gt;number, V&lt;number, V&gt;number (such as I&lt;0.05)</translation>
    </message>
    <message>
        <location line="+38"/>
        <source>无法保存：%1</source>
        <translation>Cannot save: %1</translation>
    </message>
</context>
<context>
    <name>TrendChart</name>
    <message>
        <location filename="../app/TrendChart.cpp" line="+38"/>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>电压 (V)</source>
        <translation>Voltage (V)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电流 (A)</source>
        <translation>Current (A)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>功率 (W)</source>
        <translation>Power (W)</translation>
    </message>
    <message>
        <location line="+33"/>
        <source>输出关闭</source>
        <translation>Output off</translation>
    </message>
    <message>
        <location line="+24"/>
        <source>测量功率</source>
        <translation>Measured power</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>测量电压</source>
        <translation>Measured voltage</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>测量电流</source>
        <translation>Measured current</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>设定电压</source>
        <translation>Voltage setpoint</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>设定电流</source>
        <translation>Current setpoint</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>输出</source>
        <translation>Output</translation>
    </message>
</context>
<context>
    <name>TrendWindow</name>
    <message>
        <location filename="../app/TrendWindow.cpp" line="+44"/>
        <source>1 分钟</source>
        <translation>1 min</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>10 分钟</source>
        <translation>10 min</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>1 小时</source>
        <translation>1 hour</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>24 小时</source>
        <translation>24 hours</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>全部</source>
        <translation>All</translation>
    </message>
    <message>
        <location line="+20"/>
        <source>趋势图 - Velmor电源监控-V3.5</source>
        <translation>Trend - Velmor Power Supply Monitor V3.5</translation>
    </message>
    <message>
        <location line="+65"/>
        <source>跟随</source>
        <translation>Follow</translation>
    </message>
    <message>
        <location line="+30"/>
        <source>保存图片…</source>
        <translation>Save picture…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>导出CSV…</source>
        <translation>Export CSV…</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>打开CSV…</source>
        <translation>Open CSV…</translation>
    </message>
    <message>
        <location line="+8"/>
        <source>等待读数…</source>
        <translation>Waiting for readings…</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>文件中没有读数</source>
        <translation>No readings in the file</translation>
    </message>
    <message>
        <location line="+132"/>
        <source>开</source>
        <translation>on</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>关</source>
        <translation>off</translation>
    </message>
    <message>
        <location line="+39"/>
        <source>保存失败：%1</source>
        <translation>Saving failed: %1</translation>
    </message>
    <message>
        <location line="+10"/>
        <source>导出失败：%1</source>
        <translation>Export failed: %1</translation>
    </message>
    <message>
        <location line="+14"/>
        <source>保存图片</source>
        <translation>Save picture</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>PNG 图片 (*.png)</source>
        <translation>PNG images (*.png)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>导出CSV</source>
        <translation>Export CSV</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>CSV 文件 (*.csv)</source>
        <translation>CSV files (*.csv)</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>打开CSV</source>
        <translation>Open CSV</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>CSV 文件 (*.csv);;所有文件 (*)</source>
        <translation>CSV files (*.csv);;All files (*)</translation>
    </message>
</context>
<context>
    <name>TrendWindows</name>
    <message>
        <location filename="../app/TrendWindows.cpp" line="+11"/>
        <source>趋势图</source>
        <translation>Trend</translation>
    </message>
    <message>
        <location line="+12"/>
        <source>无法加载趋势图模块：</source>
        <translation>Cannot load the trend module: </translation>
    </message>
    <message>
        <location line="+26"/>
        <source>无法打开 %1：%2</source>
        <translation>Cannot open %1: %2</translation>
    </message>
    <message>
        <location line="+35"/>
        <source>跳过了 %1 行格式不符的内容（第 %2 行）</source>
        <translation>Skipped malformed lines: %1 (line %2)</translation>
    </message>
    <message>
        <location line="+3"/>
        <source>、</source>
        <extracomment>Between the numbers of the lines skipped.</extracomment>
        <translation>, </translation>
    </message>
    <message>
        <location line="+3"/>
        <source>文件超出可显示的数量，最早的 %1 个读数未显示</source>
        <translation>More readings than can be shown: the earliest %1 are left out</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>；</source>
        <extracomment>Between the two parts of the note above the chart.</extracomment>
        <translation>; </translation>
    </message>
</context>
<context>
    <name>VelmorMain</name>
    <message>
        <location filename="../app/VelmorMain.cpp" line="-256"/>
        <source>Velmor电源监控-V3.5</source>
        <translation>Velmor Power Supply Monitor V3.5</translation>
    </message>
    <message>
        <location line="+194"/>
        <source>指标服务未能启动：</source>
        <translation>Metrics server failed to start: </translation>
    </message>
    <message>
        <location line="-149"/>
        <source>关闭输出的命令未能发出，输出可能仍开着</source>
        <translation>The output-off command could not be sent: the output may still be on</translation>
    </message>
</context>
<context>
    <name>WatchDialog</name>
    <message>
        <location filename="../app/WatchDialog.cpp" line="+16"/>
        <source>监视限值</source>
        <translation>Watch limits</translation>
    </message>
    <message>
        <location line="+2"/>
        <source>电压下限(V)</source>
        <translation>Min voltage (V)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>电压上限(V)</source>
        <translation>Max voltage (V)</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>电流下限(A)</source>
        <translation>Min current (A)</translation>
    </message>
    <message>
        <location line="+1"/>
        <source>电流上限(A)</source>
        <translation>Max current (A)</translation>
    </message>
    <message>
        <location line="+6"/>
        <source>提示</source>
        <translation>Notify</translation>
    </message>
    <message>
        <location line="+0"/>
        <source>提示并关闭输出</source>
        <translation>Notify, output off</translation>
    </message>
    <message>
        <location line="+57"/>
        <source>限值应为数字（小数点用 .），下限不大于上限</source>
        <translation>Limits must be numbers (use . as the decimal point), each minimum no greater than its maximum</translation>
    </message>
</context>
</TS>
