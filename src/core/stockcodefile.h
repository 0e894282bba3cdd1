// The stock-code file gp06856.dat: one GBK line ended by CR LF, the code box's text.
#pragma once

#include <QString>
#include <optional>

namespace app {

inline const QString kStockCodeFile = QStringLiteral("gp06856.dat");

// The first line, or nothing when the file is missing, unreadable or has an empty first line.
std::optional<QString> readStockCodeFile(const QString& path);

// Replaces the file whole (written to a temporary file first); throws std::runtime_error on failure.
void writeStockCodeFile(const QString& path, const QString& code);

} // namespace app
