#include "NodeAccess.h"

#include "protocol/ShippedRule.h"

#include <cerrno>

#include <unistd.h>

namespace nodeaccess {

QString ruleFileName()
{
    return QLatin1String(shipped::kRuleFileName);
}

QStringList ruleLines()
{
    QStringList lines;
    for (const QString &line : QString::fromUtf8(shipped::kRuleText).split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith(QLatin1Char('#')))
            lines << trimmed;
    }
    return lines;
}

QStringList installRuleCommands(const QString &dir)
{
    // A here-document, so that the commands work wherever the tool runs,
    // with or without the source tree or the package at hand.
    QString target = dir;
    while (target.size() > 1 && target.endsWith(QLatin1Char('/')))
        target.chop(1);
    return QStringList{QStringLiteral("sudo tee %1/%2 >/dev/null <<'EOF'").arg(target, ruleFileName())}
           + ruleLines()
           + QStringList{QStringLiteral("EOF"), QLatin1String(kReloadRulesCommand), QLatin1String(kTriggerCommand)};
}

bool isNodePath(const QByteArray &path)
{
    return path.startsWith('/');
}

Access accessOf(const QByteArray &path)
{
    if (::access(path.constData(), R_OK | W_OK) == 0)
        return Access::Open;
    if (errno == ENOENT || errno == ENOTDIR)
        return Access::Missing;
    if (errno == EACCES || errno == EPERM || errno == EROFS)
        return Access::Denied;
    return Access::Failed;
}

bool keepsUserOut(const discovery::Interface &entry)
{
    if (!isNodePath(entry.path))
        return true;
    const Access access = accessOf(entry.path);
    return access == Access::Denied || access == Access::Failed;
}

} // namespace nodeaccess
