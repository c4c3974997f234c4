<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
<context>
    <name>Tarnwick</name>
    <message>
        <source>Tarnwick 2.0 版</source>
        <translation>Tarnwick 2.0</translation>
    </message>
    <message>
        <source>关于 Tarnwick</source>
        <translation>About Tarnwick</translation>
    </message>
    <message>
        <source>VORTAN SPI Flash 烧写工具</source>
        <translation>VORTAN SPI flash writer</translation>
    </message>
    <message>
        <source>关于 Quillon(&amp;A)...</source>
        <translation>&amp;About Quillon...</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>烧写文件：</source>
        <translation>Firmware:</translation>
    </message>
    <message>
        <source>更新文件</source>
        <translation>Write file</translation>
    </message>
    <message>
        <source>选择文件</source>
        <translation>Choose file</translation>
    </message>
    <message>
        <source>文件信息</source>
        <translation>File information</translation>
    </message>
    <message>
        <source>读取文件</source>
        <translation>Read flash</translation>
    </message>
    <message>
        <source>更新Quillon</source>
        <translation>Update Quillon</translation>
    </message>
    <message>
        <source>文件版本：</source>
        <translation>File version:</translation>
    </message>
    <message>
        <source>芯片型号:</source>
        <translation>Chip model:</translation>
    </message>
    <message>
        <source>文件长度</source>
        <translation>Length</translation>
    </message>
    <message>
        <source>烧写器文件信息</source>
        <translation>Programmer file information</translation>
    </message>
    <message>
        <source>文件信息--已经烧写</source>
        <translation>File information -- written</translation>
    </message>
    <message>
        <source>程序已经运行!</source>
        <translation>Tarnwick is already running!</translation>
    </message>
    <message>
        <source>系统初始化错误，无法搜索烧写器。</source>
        <translation>Start-up error: cannot look for the programmer.</translation>
    </message>
    <message>
        <source>打开文件失败</source>
        <translation>Cannot open the file</translation>
    </message>
    <message>
        <source>请输入一个整数。</source>
        <translation>Please enter a whole number.</translation>
    </message>
    <message>
        <source>Bin 文件 Files (*.bin)</source>
        <translation>Bin Files (*.bin)</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>另存为</source>
        <translation>Save As</translation>
    </message>
    <message>
        <source>BIN 文件 Files (*.bin);;All Files (*)</source>
        <translation>BIN Files (*.bin);;All Files (*)</translation>
    </message>
    <message>
        <source>ISO 文件 Files (*.iso)</source>
        <translation>ISO Files (*.iso)</translation>
    </message>
    <message>
        <source>文件已经存在！</source>
        <translation>The file is already in the list!</translation>
    </message>
    <message>
        <source>打开文件失败！</source>
        <translation>Cannot create the file!</translation>
    </message>
    <message>
        <source>读取Flash失败！</source>
        <translation>Reading the flash failed!</translation>
    </message>
    <message>
        <source>请选择烧写文件！</source>
        <translation>Please choose a file to write!</translation>
    </message>
    <message>
        <source>设备不在线.. </source>
        <translation>Device not online..</translation>
    </message>
    <message>
        <source>打开烧写文件失败.. </source>
        <translation>Cannot open the file to write..</translation>
    </message>
    <message>
        <source>烧写文件为空.. </source>
        <translation>The file to write is empty..</translation>
    </message>
    <message>
        <source>擦除Flash 中..</source>
        <translation>Erasing flash..</translation>
    </message>
    <message>
        <source>擦除Flash 失败.. </source>
        <translation>Erasing flash failed..</translation>
    </message>
    <message>
        <source>写入数据中..</source>
        <translation>Writing data..</translation>
    </message>
    <message>
        <source>写入数据完成..</source>
        <translation>Write finished..</translation>
    </message>
    <message>
        <source>烧写器已连接：%1</source>
        <translation>Programmer present on %1</translation>
    </message>
    <message>
        <source>烧写器已连接：%1（USB 端口 %2）</source>
        <translation>Programmer present on %1 (USB port %2)</translation>
    </message>
    <message>
        <source>烧写器已连接：%1（USB 端口 %2，序列号 %3）</source>
        <translation>Programmer present on %1 (USB port %2, serial %3)</translation>
    </message>
    <message>
        <source>烧写器已连接：%1（序列号 %2）</source>
        <translation>Programmer present on %1 (serial %2)</translation>
    </message>
    <message>
        <source>未找到烧写器。
运行 tarnwick-cli list 可查看每个设备未被当作烧写器的原因；
安装 Tarnwick 的 udev 规则后，无需 root 权限即可使用烧写器。</source>
        <translation>No programmer found.
"tarnwick-cli list" tells why each drive is not taken for it;
the udev rule that comes with Tarnwick gives access without root.</translation>
    </message>
</context>
</TS>
