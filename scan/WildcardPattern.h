#pragma once

#include <QString>
#include <QStringList>

// A file-name pattern with the shell's wildcard rules: "*" any run of characters, "?" one
// character, letters compared without case, several patterns separated by ";". "*.*" and "*"
// match every name, with or without a dot, and a trailing ".*" also matches a name without one.
class WildcardPattern
{
  public:
    explicit WildcardPattern(const QString& pattern);

    bool matchesEverything() const { return all_; }
    bool matches(const QString& name) const;

  private:
    static bool matchOne(const QChar* p, const QChar* pend, const QChar* n, const QChar* nend);

    QStringList parts_;
    bool all_ = false;
};
