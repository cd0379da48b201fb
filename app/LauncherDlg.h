#pragma once
#include "afx/Controls.h"
#include "afx/Dialog.h"

// The launcher: opens a fresh work window, or ends the program.
class CMP3SorvaneDlg : public CDialog
{
public:
    CMP3SorvaneDlg();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

    void OnPaint();
    void OnQueryDragIcon();
    void OnBnClickedExit();
    void OnBnClickedStart();

    HICON m_hIcon;
    CStatic m_staticInfo;

private:
    LRESULT m_lResult = 0;
};
