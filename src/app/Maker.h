#pragma once
// The maker's texts shown in the footer, kept in one place.

#include <QString>

inline const QString MakerCopyright = QStringLiteral("\u00A9 2026 Morvel");
inline const QString MakerWebCaption = QStringLiteral("morvel.example");
inline const QString MakerWebAddress = QStringLiteral("https://morvel.example/");
