// The About box: the product, its address and version.
#pragma once

#include "app/win32/ModalDialog.h"

class DlgAbout : public ModalDialog<DlgAbout> {
public:
    explicit DlgAbout(HWND owner);
    static const CommandMap<DlgAbout> command_map;

protected:
    INT_PTR init() override;
};
