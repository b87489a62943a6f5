#include "restart_ctl.h"

#include <cctype>
#include <cstring>

#include "asr_params.h"

namespace {

constexpr char kVersion[] = "1.0.0";

constexpr const char* kOptionLines[] = {
    "o - Get timeout values",
    "t - Set HW timer max time",
    "p - Set SW poll time",
    "a - Get the timeout action configured",
    "r - Set the timeout action to reset",
    "c - Set the timeout action to power cycle",
    "n - Set the timeout action to no action, logging only",
    "k - Get consecutive ASR count info",
    "m - Set the max. consecutive ASR count",
    "u - Set the cur. consecutive ASR count",
    "e - Get all ASR parameters",
};

class RestartCtl {
public:
    RestartCtl(std::FILE* in, std::FILE* out) : in_(in), out_(out) {}

    void listOptions()
    {
        std::fputs("Legal options:\n", out_);
        for (const char* line : kOptionLines) std::fprintf(out_, "    %s\n", line);
    }

    void run(char letter)
    {
        switch (letter) {
        case 'O': showTimeouts(); break;
        case 'T':
            promptAndSet("Enter HW timer reset value (secs): ", AsrSetHWtimeout, "New HW timeout value = %d\n");
            break;
        case 'P': setPollTime(); break;
        case 'A': showAction(); break;
        case 'R': setAction(ASR_ACTION_RESET); break;
        case 'C': setAction(ASR_ACTION_POWER_CYCLE); break;
        case 'N': setAction(ASR_ACTION_NONE); break;
        case 'K': showCounts(); break;
        case 'M':
            promptAndSet("Enter Max. No. of Consecutive Reset: (0: no limit, range 1-10) ", AsrSetMaxASRCount,
                         "New max consecutive ASR value = %d\n");
            break;
        case 'U':
            promptAndSet("Enter Cur. No. of Consecutive Reset: ", AsrSetCurASRCount,
                         "New cur consecutive ASR value = %d\n");
            break;
        case 'E':
            showTimeouts();
            showAction();
            showCounts();
            break;
        default: listOptions(); break;
        }
    }

private:
    // False when the entry is not a number (or input ended): nothing is changed then.
    bool prompt(const char* text, int* value)
    {
        std::fputs(text, out_);
        std::fflush(out_);
        return std::fscanf(in_, "%d", value) == 1;
    }

    void printActionName(const char* format, int action)
    {
        char name[16];
        getActionFullStr(action, name);
        std::fprintf(out_, format, name);
    }

    void showTimeouts()
    {
        int value = 0;
        if (AsrGetHWtimeout(&value)) std::fprintf(out_, "HW pop time = %d\n", value);
        if (AsrGetSWpollTime(&value)) std::fprintf(out_, "SW poll time = %d\n", value);
    }

    void showAction()
    {
        int action = 0;
        if (AsrGetTimeoutAction(&action)) printActionName("Timeout action = %s\n", action);
    }

    void showCounts()
    {
        int value = 0;
        if (AsrGetMaxASRCount(&value)) std::fprintf(out_, "Max ASR count = %d\n", value);
        if (AsrGetCurASRCount(&value)) std::fprintf(out_, "Current ASR count = %d\n", value);
    }

    // Prompts for a number and stores it with `set`; `done` reports the stored value.
    void promptAndSet(const char* text, int (*set)(int, int), const char* done)
    {
        int value = 0;
        if (prompt(text, &value) && set(value, 0)) std::fprintf(out_, done, value);
    }

    void setPollTime()
    {
        int value = 0, hwTimeout = 0;
        if (!prompt("Enter SW poll time (secs): ", &value)) return;
        if (!AsrGetHWtimeout(&hwTimeout)) {
            std::fputs("Couldn\264t check time limits\n", out_);
            return;
        }
        if (AsrSetSWpollTime(value, hwTimeout, 0)) std::fprintf(out_, "New SW poll time = %d\n", value);
    }

    void setAction(int action)
    {
        if (AsrSetTimeoutAction(action, 0)) printActionName("New timeout action value = %s\n", action);
    }

    std::FILE* in_;
    std::FILE* out_;
};

} // namespace

int runRestartCtl(int argc, char** argv, std::FILE* in, std::FILE* out)
{
    std::fprintf(out, "QV Automatic Server Restart, Ver. %s\n\n", kVersion);
    RestartCtl ctl(in, out);
    if (argc < 2) {
        std::fputs("Too few args usage: rsctl /option\n", out);
        ctl.listOptions();
        return 1;
    }
    const char* option = std::strpbrk(argv[1], "/-");
    if (option == nullptr) {
        std::fputs("No command option specified\n", out);
        return 1;
    }
    ctl.run(static_cast<char>(std::toupper(static_cast<unsigned char>(option[1]))));
    return 0;
}
