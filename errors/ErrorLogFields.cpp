#include "errors/ErrorLogFields.h"

#include "db/Text.h"

#include "errors/MessageTranslation.h"
#include "platform/Workstation.h"

namespace errors {

ErrorLogFields ErrorLogFields::fromWorkstation(const QString& computerName,
                                               const std::optional<QString>& loginName) {
    return {computerName.trimmed(),
            db::upperCaseAsciiLetters(loginName ? *loginName : QStringLiteral("Unknown"))};
}

ErrorLogFields ErrorLogFields::current() {
    return fromWorkstation(platform::computerName(), platform::loginName());
}

} // namespace errors
