// The real scan and organise pass in a process of their own, for tests that
// kill it: the user is a script (the source, "yes", the destination) and the
// screen shows nothing.
//
//   sorvane_pass.exe SOURCE DEST [--move]
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "afx/WidePath.h"
#include "collect/CollectJob.h"
#include "collect/JobScreen.h"
#include "collect/JobUi.h"

namespace {

class CScriptUser : public IJobUi
{
public:
    CScriptUser(const char* source, const char* dest) : m_source(source), m_dest(dest) {}
    int ChooseFolder(std::wstring& path, const char*) override
    {
        path = WideFromText(m_nChosen++ == 0 ? m_source : m_dest);
        return 1;
    }
    int AskYesNo(HWND, const char*) override { return IDYES; }
    void ShowMessage(HWND, const char*) override {}

private:
    const char* m_source;
    const char* m_dest;
    int m_nChosen = 0;
};

class CNoScreen : public IJobScreen
{
public:
    void ShowStatus(const char*) override {}
    void ShowPathLine(const char*) override {}
    void ShowProgress(int) override {}
    void ShowProgressText(const char*) override {}
    void ShowRow(const MP3FileEntry&) override {}
    bool TrySync(UINT) override { return true; }
    HWND Owner() const override { return nullptr; }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: sorvane_pass SOURCE DEST [--move]\n");
        return 2;
    }
    const bool bMove = argc > 3 && std::strcmp(argv[3], "--move") == 0;
    CScriptUser user(argv[1], argv[2]);
    CNoScreen screen;
    CCollectJob job(user, screen);
    const int result = job.CollectFiles(bMove ? MODE_MOVE : MODE_COPY);
    std::printf("result=%d succeeded=%d failed=%d duplicates=%d\n", result, job.Succeeded(), job.Failed(),
                job.Duplicates());
    return result == 1 ? 0 : 1;
}
