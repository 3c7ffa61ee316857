#pragma once

#include <QString>

// The program's string table: id = language base + offset. Only the English table exists,
// at base 0.
namespace Strings {

inline constexpr int LanguageBase = 0;

// The text of resource `id`; an empty text for an id the table does not hold.
QString load(int id);

// The text at the current language base plus `offset`.
inline QString res(int offset) { return load(LanguageBase + offset); }

} // namespace Strings
