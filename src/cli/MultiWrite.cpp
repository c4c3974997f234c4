#include "cli/MultiWrite.h"

#include <chrono>
#include <mutex>
#include <sstream>
#include <thread>

#include "cli/ProgressLine.h"
#include "jobs/VerifyFlash.h"

namespace tarnwick::cli {

namespace {

// One programmer's display: whole lines with its tag, progress every 10 %. The lock only
// keeps lines from tearing; it is never held across an exchange.
class TaggedLines : public DisplaySink, public MessageBoxSink, public ProgressObserver {
  public:
    TaggedLines(std::string tag_, std::ostream& out_, std::mutex& outMutex_)
        : tag("[" + std::move(tag_) + "] "), out(out_), outMutex(outMutex_) {}

    void Send(const DisplayMessage& message) override {
        if (message.command == DISPLAY_TEXT && message.text != nullptr) {
            Line(message.text);
        }
    }
    void ShowMessage(const char* text) override { Line(text); }
    void PageConfirmed(std::uint64_t done, std::uint64_t total) override {
        const int tenth = total == 0 ? 10 : static_cast<int>(done * 10 / total);
        if (tenth == lastTenth) {
            return;
        }
        lastTenth = tenth;
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - started;
        Line("progress " + FormatProgressLine(done, total, elapsed, 0));
    }

    void Line(const std::string& text) {
        std::lock_guard lock(outMutex);
        out << tag << text << '\n' << std::flush;
    }
    // The next phase counts its own progress and rate.
    void NextPhase() {
        started = std::chrono::steady_clock::now();
        lastTenth = -1;
    }

  private:
    const std::string tag;
    std::ostream& out;
    std::mutex& outMutex;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
    int lastTenth = -1;
};

TargetOutcome WriteOne(const WriteTarget& target, const std::string& file, bool verify,
                       TaggedLines& lines, std::stop_token stop) {
    ProgrammerLink link;
    link.Set(target.device, target.programmer.drive);
    FirmwarePath path;
    path.Set(file);
    std::ostringstream diagnostics;
    ProgramJob job(link, path, lines, lines, diagnostics);
    job.SetProgressObserver(&lines);

    TargetOutcome outcome;
    const auto started = std::chrono::steady_clock::now();
    outcome.result = job.ProgramFlash(stop);
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // The job's diagnostic line, tagged like the rest.
    std::istringstream kept(diagnostics.str());
    for (std::string line; std::getline(kept, line);) {
        lines.Line(line);
    }
    if (outcome.result.ending == ProgramEnding::Success && verify && !stop.stop_requested()) {
        lines.Line("verifying..");
        lines.NextPhase();
        outcome.verifyRan = true;
        if (Result<void> verified = VerifyFlash(target.device, file, &lines, stop); !verified) {
            outcome.verifyError = verified.error().Describe();
        }
    }
    return outcome;
}

}  // namespace

std::string TargetTag(const FoundProgrammer& programmer) {
    return programmer.usbPort.empty() ? programmer.driveName : programmer.usbPort;
}

std::vector<TargetOutcome> WriteEach(const std::vector<WriteTarget>& targets,
                                     const std::string& file, bool verify, std::ostream& out,
                                     std::stop_token stop) {
    std::mutex outMutex;
    std::vector<TaggedLines> lines;
    lines.reserve(targets.size());
    for (const WriteTarget& target : targets) {
        lines.emplace_back(TargetTag(target.programmer), out, outMutex);
    }
    std::vector<TargetOutcome> outcomes(targets.size());
    {
        std::vector<std::jthread> workers;
        for (std::size_t i = 0; i < targets.size(); ++i) {
            workers.emplace_back(
                [&, i] { outcomes[i] = WriteOne(targets[i], file, verify, lines[i], stop); });
        }
    }  // joins every worker
    return outcomes;
}

}  // namespace tarnwick::cli
