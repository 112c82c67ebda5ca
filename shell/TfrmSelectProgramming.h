#pragma once
// "Kovra Console | Select Programming": after an account was saved with
// changes, offers to program the module at once.
#include "TBaseForm.h"

namespace kovra {

class TfrmSelectProgramming : public TBaseForm {
    Q_OBJECT
public:
    explicit TfrmSelectProgramming(QWidget *parent = nullptr);
    // Accepted: "Kovra P&rogramming" was chosen.
};

} // namespace kovra
