#include "cli/OwnLines.h"

#include <algorithm>
#include <cstdint>

#include "cli/JobLanguage.h"

namespace tarnwick::cli {

namespace {

// The words as the job's own Chinese texts use them: 编程器, 写入, 校验, 读取, 擦除, Flash.
// Units and paths stay as they are.
constexpr OwnLine kLines[] = {
    // write and read
    {"written: {1} in {2}, every page confirmed by the programmer",
     "已写入：{1}，用时 {2}，每一页都经编程器确认"},
    {"verified: the flash holds the file byte for byte", "校验通过：Flash 与文件逐字节相同"},
    {"verifying..", "校验中.."},
    {"no such firmware file: {1}", "固件文件不存在：{1}"},
    {"VERIFY FAILED: {1}", "校验失败：{1}"},
    {"interrupted after the programmer confirmed every page", "编程器确认了每一页之后被中断"},
    {"; the flash is not verified", "；Flash 未经校验"},
    {"{1}: {2}", "{1}：{2}"},
    {"cannot write the output file: {1}", "无法写入输出文件：{1}"},
    {"reading {1} bytes: the length is rounded down to whole pages",
     "读取 {1} 字节：长度向下取整到整页"},
    {"read: {1} into {2}", "已读取：{1}，存入 {2}"},
    {"interrupted after the last page was read into {1}", "最后一页读入 {1} 之后被中断"},
    {"read-back failed, no file left behind: {1}", "读取失败，没有留下文件：{1}"},
    {"the programmer does not answer", "编程器无应答"},
    {"transfer test: {1} cycles of 2048 bytes, {2} with a bad write status, {3} read back "
     "different",
     "传输测试：{1} 轮，每轮 2048 字节，{2} 轮写入状态出错，{3} 轮读回不一致"},
    {"interrupted", "已中断"},
    {"interrupted; the job has not stopped and is left unfinished",
     "已中断；任务没有停下，留待未完成"},
    {"cannot open the log for appending, nothing done: {1}", "无法追加写入日志，什么也没做：{1}"},
    {"the job's record was not kept: {1}", "任务记录没有保存下来：{1}"},
    // how jobs end, as the person reads them (the JSON and the log keep the English)
    {"success", "成功"},
    {"no firmware file", "没有固件文件"},
    {"no programmer", "没有编程器"},
    {"programmer not answering", "编程器无应答"},
    {"cannot open the firmware file", "无法打开固件文件"},
    {"firmware file is empty", "固件文件为空"},
    {"erase failed", "擦除失败"},
    {"write failed", "写入失败"},
    {"cancelled", "已取消"},
    {"verify failed", "校验失败"},
    {"cannot create the output file", "无法创建输出文件"},
    {"read failed", "读取失败"},
    {"error", "出错"},
    // finding the programmer
    {"programmer found: {1}", "找到编程器：{1}"},
    {"programmer gone", "编程器已断开"},
    {"waiting for a programmer to be plugged in..", "等待插入编程器.."},
    {"no programmer found (`tarnwick-cli list` shows every drive probed and why it is not the "
     "programmer)",
     "没有找到编程器（`tarnwick-cli list` 列出探测过的每个驱动器及其不是编程器的原因）"},
    {"{1} is not the programmer: {2}", "{1} 不是编程器：{2}"},
    {"no programmer found", "没有找到编程器"},
    {"drive {1}", "驱动器 {1}"},
    {"drive {1} ({2})", "驱动器 {1} ({2})"},
    {"{1}, re-check: {2}", "{1}，复查：{2}"},
    {"programmer", "编程器"},
    {"not probed, the number stands for no programmer", "未探测，这个编号表示没有编程器"},
    {"skipped, it is the current programmer", "跳过，它就是当前的编程器"},
    {"no such drive", "没有这个驱动器"},
    {"cannot open: {1}", "无法打开：{1}"},
    {"cannot identify: {1}", "无法识别：{1}"},
    {"not on USB (vendor {1})", "不在 USB 上（厂商 {1}）"},
    {"on USB, vendor {1} is not {2}", "在 USB 上，厂商 {1} 不是 {2}"},
    {"none", "无"},
    {"unknown verdict", "结果不明"},
    {"drives {1} to {2} ({3} to {4}): no such drive",
     "驱动器 {1} 至 {2}（{3} 至 {4}）：没有这个驱动器"},
    {"no SCSI generic devices here: none of the {1} drive numbers probed exists",
     "这里没有 SCSI 通用设备：探测的 {1} 个驱动器编号都不存在"},
    {"programmer: drive {1} ({2})", "编程器：驱动器 {1} ({2})"},
    {"{1}, {2}", "{1}，{2}"},
    {"USB port {1}", "USB 端口 {1}"},
    {"bus {1} device {2}", "总线 {1} 设备 {2}"},
    {"serial {1}", "序列号 {1}"},
    // several programmers at once, and the station
    {"waiting for {1} programmers, {2} present..", "等待 {1} 个编程器，已有 {2} 个.."},
    {"{1} of {2} programmers present after {3} s", "{3} s 后只有 {1} 个编程器，需要 {2} 个"},
    {"programmer: drive {1} ({2}), serial {3}", "编程器：驱动器 {1} ({2})，序列号 {3}"},
    {"waiting", "等待中"},
    {"writing", "写入中"},
    {"verifying", "校验中"},
    {"serial", "序列号"},
    {"result", "结果"},
    {"bytes", "字节"},
    {"time", "用时"},
    {"verified", "已校验"},
    {"yes", "是"},
    {"no", "否"},
    {"DIFFERS", "不一致"},
    {"station: writing {1} into every programmer plugged in; Ctrl-C ends",
     "工作站：把 {1} 写入插上的每个编程器；按 Ctrl-C 结束"},
    {"unplugged, waiting for the next programmer", "已拔出，等待下一个编程器"},
    {"programmer plugged in: drive {1} ({2}), serial {3}",
     "编程器已插入：驱动器 {1} ({2})，序列号 {3}"},
    {"plugged in", "已插入"},
    {"written, unplug it for the next", "已写入，拔下换下一个"},
    {"{1}, unplug it for the next", "{1}，拔下换下一个"},
    {"station: {1} written, {2} failed", "工作站：{1} 个已写入，{2} 个失败"},
    {"port", "端口"},
    {"written", "已写入"},
    {"failed", "失败"},
    {"{1} job(s) did not stop and are left unfinished", "{1} 个任务没有停下，留待未完成"},
    // the progress line
    {"progress {1}", "进度 {1}"},
    {"{1} left", "剩余 {1}"},
};

// The code point starting at `at`, and the bytes it takes; a stray byte counts as one.
std::pair<char32_t, std::size_t> Decode(std::string_view text, std::size_t at) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(at);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    if (lead < 0x80 || lead < 0xC0 || at + length > text.size()) {
        return {lead, 1};
    }
    char32_t code = lead & (0x3F >> (length - 1));
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0) != 0x80) {
            return {lead, 1};
        }
        code = (code << 6) | (byte(at + i) & 0x3F);
    }
    return {code, length};
}

// East Asian wide and fullwidth characters: CJK, Hangul, fullwidth punctuation.
bool Wide(char32_t c) {
    return (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
           (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) ||
           (c >= 0xFE30 && c <= 0xFE4F) || (c >= 0xFF00 && c <= 0xFF60) ||
           (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x20000 && c <= 0x3FFFD);
}

}  // namespace

std::span<const OwnLine> OwnLines() {
    return kLines;
}

std::string Say(std::string_view english, std::initializer_list<std::string_view> values) {
    std::string_view text = english;
    if (LanguageOfPerson() == PersonLanguage::Chinese) {
        const auto line = std::ranges::find(kLines, english, &OwnLine::english);
        if (line != std::end(kLines)) {
            text = line->chinese;
        }
    }
    return Fill(text, values);
}

std::string Fill(std::string_view text, std::initializer_list<std::string_view> values) {
    std::string filled;
    filled.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t index = i + 2 < text.size() && text[i] == '{' && text[i + 2] == '}' &&
                                          text[i + 1] >= '1' && text[i + 1] <= '9'
                                      ? static_cast<std::size_t>(text[i + 1] - '1')
                                      : values.size();
        if (index < values.size()) {
            filled += values.begin()[index];
            i += 2;
        } else {
            filled += text[i];
        }
    }
    return filled;
}

int Columns(std::string_view text) {
    int columns = 0;
    for (std::size_t i = 0; i < text.size();) {
        const auto [code, length] = Decode(text, i);
        columns += Wide(code) ? 2 : 1;
        i += length;
    }
    return columns;
}

std::string PadColumns(std::string_view text, int width, bool right) {
    const std::string blanks(static_cast<std::size_t>(std::max(width - Columns(text), 0)), ' ');
    return right ? blanks + std::string(text) : std::string(text) + blanks;
}

std::string CutColumns(std::string_view text, int width) {
    int columns = 0;
    std::size_t end = 0;
    while (end < text.size()) {
        const auto [code, length] = Decode(text, end);
        columns += Wide(code) ? 2 : 1;
        if (columns > width) {
            break;
        }
        end += length;
    }
    return std::string(text.substr(0, end));
}

}  // namespace tarnwick::cli
