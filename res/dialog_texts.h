#pragma once

// The dialogs' own texts, UTF-8; every window system shows them as they
// stand.

#include <string_view>

namespace res {

// The texts the main dialog puts on its labels and buttons when it opens,
// replacing the template's.
inline constexpr std::string_view kInputLabel = "входен файл:";
inline constexpr std::string_view kOutputLabel = "изходен файл:";
inline constexpr std::string_view kPasswordLabel = "парола:";
inline constexpr std::string_view kStartText = "добре";
inline constexpr std::string_view kCancelText = "отказ";

// Five lines joined by a line feed: 581 bytes in Windows-1251.
inline constexpr std::string_view kHelpText =
    "входен файл - трябва да избереш файл. Ако избраният файл е с разширение "
    ".crypt - това означава, че искаш да го декриптираш. Ако избраният файл е "
    "с друго разширение - това означава, че искаш да го криптираш.\n"
    "Изходен фрайл - трябва да избереш къде да запазиш съответния изходен "
    "файл.\n"
    "Парола - в това поле трябва да въведеш парола с поне един и най-много "
    "шестнадесет символа.\n"
    "Бутон добре - за започване на криптиране / декриптиране на избран входен "
    "файл.\n"
    "Бутон отказ - ако го натиснеш в процес на криптиране / декриптиране - ще "
    "спреш съответния процес, иначе ще излезеш от програмата.";

// Who answers for the program: the About dialog's two lines, and the
// README's signature.
inline constexpr std::string_view kMaintainerName = "The program developers";
inline constexpr std::string_view kMaintainerEmail = "program-dev@example.org";
inline constexpr std::string_view kAboutNamePrefix = "Име: ";
inline constexpr std::string_view kAboutEmailPrefix = "Електронна поща: ";

}  // namespace res
