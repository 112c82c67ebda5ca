#pragma once
// One option row of an account as the transfers see it: identity, database value,
// the value read from or staged for the module, and the validation code.
#include <QString>
#include <QVector>

namespace kovra {

struct KovraOptionRow {
    int Kovra_ID = 0;
    int KovraOption_ID = 0;
    QString OptionNumber;                // "001" .. "385"
    QString KovraOptionValue;
    QString KovraOptionTempValue;
    QString KovraOptionTypeValidation;   // "01" .. "15" from the catalogue; empty when not there
};

// Ordered by option number: row n (1-based) is the n-th option of the generation.
using KovraOptionList = QVector<KovraOptionRow>;

} // namespace kovra
