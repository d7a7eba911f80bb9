#include "cli/options.h"

#include <charconv>

#include "cli/exit_codes.h"
#include "jobs/messages.h"

namespace cli {

namespace {

#ifdef _WIN32
// 0 is standard input; others are those a C runtime parent passed on.
constexpr const char* kDescriptorNote =
    "                        (дескриптор на C runtime; 0 е стандартният "
    "вход)\n";
constexpr const char* kInterrupts =
    "Ctrl-C, Ctrl-Break или\nзатварянето на конзолата прекъсват задачата.";
#else
constexpr const char* kDescriptorNote = "";
constexpr const char* kInterrupts = "Ctrl-C прекъсва задачата.";
#endif

bool ParseFd(const std::string& text, int& fd) {
  const char* end = text.data() + text.size();
  const auto result = std::from_chars(text.data(), end, fd);
  return result.ec == std::errc() && result.ptr == end && fd >= 0;
}

// Splits "--name=value" into name and value; a bare "--name" has no value.
std::pair<std::string, std::optional<std::string>> SplitOption(
    const std::string& arg) {
  const std::size_t equals = arg.find('=');
  if (equals == std::string::npos) {
    return {arg, std::nullopt};
  }
  return {arg.substr(0, equals), arg.substr(equals + 1)};
}

}  // namespace

std::optional<Options> ParseOptions(const std::vector<std::string>& args,
                                    std::string& error) {
  Options options;
  std::vector<std::string> operands;
  bool onlyOperands = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (onlyOperands || arg.size() < 2 || arg[0] != '-') {
      operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyOperands = true;
      continue;
    }
    auto [name, value] = SplitOption(arg);
    if (name == "--help" || name == "-h") {
      options.help = true;
      continue;
    }
    if (name == "--version") {
      options.version = true;
      continue;
    }
    if (name != "--password-file" && name != "--password-fd") {
      error = "непозната опция: " + arg;
      return std::nullopt;
    }
    if (!value) {
      if (i + 1 == args.size()) {
        error = "опцията " + name + " изисква стойност";
        return std::nullopt;
      }
      value = args[++i];
    }
    if (name == "--password-file") {
      options.passwordFile = *value;
      continue;
    }
    int fd = -1;
    if (!ParseFd(*value, fd)) {
      error = "невалиден файлов дескриптор: " + *value;
      return std::nullopt;
    }
    options.passwordFd = fd;
  }
  if (options.help || options.version) {
    return options;
  }
  if (options.passwordFile && options.passwordFd) {
    error = "--password-file и --password-fd не могат да се използват заедно";
    return std::nullopt;
  }
  if (operands.size() != 2) {
    error = "очакват се два аргумента: ВХОД и ИЗХОД";
    return std::nullopt;
  }
  options.input = operands[0];
  options.output = operands[1];
  return options;
}

std::string HelpText() {
  std::string text = R"(Употреба: program-cli [ОПЦИИ] ВХОД ИЗХОД

Криптира файла ВХОД с парола в контейнер ИЗХОД или декриптира контейнер
обратно. Вход с разширение .crypt (с малки или главни букви) се декриптира,
всеки друг вход се криптира. Към името на контейнера се добавя ".crypt",
а при декриптиране се възстановява разширението на оригиналния файл.

Паролата (от 1 до 16 знака) се въвежда на терминала, без да се показва;
при криптиране се въвежда два пъти. За скриптове:
  --password-file ФАЙЛ  паролата е първият ред на ФАЙЛ
  --password-fd N       паролата е първият ред, прочетен от дескриптор N
)";
  text += kDescriptorNote;
  text += R"(  -h, --help            показва този текст
  --version             показва версията

Изходният файл се появява само при успех; файл със същото име остава
непроменен, ако задачата не завърши. )";
  text += kInterrupts;
  text += R"(

Изходен код:
   0  готово
   2  грешка в командния ред или при четенето на паролата
)";
  for (const jobs::JobMessage message : jobs::kAllMessages) {
    const int code = ExitCodeFor(message);
    if (code != 0) {
      text += (code < 10 ? "   " : "  ") + std::to_string(code) + "  ";
      text += jobs::MessageText(message);
      text += '\n';
    }
  }
  return text;
}

}  // namespace cli
