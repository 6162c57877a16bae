#include "vm_encoding.h"

#include "java_runtime.h"

#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <optional>

namespace {

const char* const utf8Locale = "C.UTF-8";

// What endVmEncoding puts back.
std::optional<std::string> savedLcAll;
bool lcAllSet = false;
std::string savedLocale;
bool switched = false;

bool ascii(const std::string& text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// The encoding of the locale the environment names, which the VM takes when it starts.
std::string environmentEncoding() {
    locale_t locale = newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(nullptr));
    if (!locale) return "ANSI_X3.4-1968";  // a locale that is not installed: the VM falls back to C
    const std::string codeset = nl_langinfo_l(CODESET, locale);
    freelocale(locale);
    return codeset;
}

bool installed(const char* name) {
    locale_t locale = newlocale(LC_ALL_MASK, name, static_cast<locale_t>(nullptr));
    if (locale) freelocale(locale);
    return locale != nullptr;
}

}  // namespace

bool prepareVmEncoding(const std::vector<FilePath>& jars, std::vector<std::string>& entries,
                       std::string& failure) {
    entries.clear();
    const std::string* outside = nullptr;
    for (const FilePath& jar : jars) {
        entries.push_back(pathText(jar));
        if (!outside && !ascii(entries.back())) outside = &entries.back();
    }
    if (!outside) return true;
    const std::string encoding = environmentEncoding();
    if (encoding == "UTF-8") return true;
    if (!installed(utf8Locale)) {
        failure = "the Java VM reads file names in the encoding " + encoding +
                  " of this process's locale, which cannot hold " + *outside + ", and the locale " +
                  utf8Locale + " it could use instead is not installed: run the host under a "
                  "UTF-8 locale (LANG=en_US.UTF-8, for example) or keep the FMU in a folder whose "
                  "path is ASCII";
        return false;
    }
    const char* lcAll = std::getenv("LC_ALL");
    lcAllSet = lcAll != nullptr;
    savedLcAll = lcAll ? std::optional<std::string>(lcAll) : std::nullopt;
    const char* current = setlocale(LC_ALL, nullptr);
    savedLocale = current ? current : "C";
    setenv("LC_ALL", utf8Locale, 1);
    switched = true;
    return true;
}

void endVmEncoding() {
    if (!switched) return;
    if (lcAllSet)
        setenv("LC_ALL", savedLcAll->c_str(), 1);
    else
        unsetenv("LC_ALL");
    setlocale(LC_ALL, savedLocale.c_str());
    switched = false;
}
