#pragma once
// ProgressState: what an upgrade run reports into. The worker and the ZModem sender write the
// members and then call refresh() (show them) or showFinished(code) (the verdict); they never
// touch a display themselves. The progress window (CDownloadDlg) implements it for the GUI,
// the headless front end prints it, and RecordingProgress records it for tests.
// refresh() and showFinished() return only once the display has taken the update.

#include <cstdint>
#include <string>

// The progress members as one value, for displays and records that keep their own copy.
struct ProgressValues {
    std::string statusText;
    std::int32_t bootTotalK = 100;
    std::int32_t bootSentK = 0;
    std::string bootProgressText;
    std::int32_t codeTotalK = 100;
    std::int32_t codeSentK = 0;
    std::string codeProgressText;
    bool bootPhase = true;
};

class ProgressState {
public:
    static constexpr const char* kInitialStatus = "Preparing for download, this may take upto 4 minutes...";
    static constexpr const char* kCompleted = "Download completed. Please click on the Finished button.";
    static constexpr const char* kFailed = "Download failed. Please click on the Finished button.";

    virtual ~ProgressState() = default;

    std::string statusText = kInitialStatus;
    std::int32_t bootTotalK = 100;
    std::int32_t bootSentK = 0;
    std::string bootProgressText;
    std::int32_t codeTotalK = 100;
    std::int32_t codeSentK = 0;
    std::string codeProgressText;
    bool bootPhase = true;

    ProgressValues values() const
    {
        return {statusText, bootTotalK, bootSentK, bootProgressText, codeTotalK, codeSentK, codeProgressText, bootPhase};
    }

    virtual void refresh() = 0;
    // Sets statusText to the verdict for code (0 = completed) and shows it; returns true.
    virtual bool showFinished(int code) = 0;

protected:
    void setVerdict(int code) { statusText = code != 0 ? kFailed : kCompleted; }
};
