#pragma once

#include <QLatin1String>
#include <QString>

#include <array>
#include <optional>

// The entries of one letter of proxy, in the order they are printed. Their keys are what
// stored letters, spreadsheet columns and tests call them; they never change, whatever the
// window's controls are named.
enum class Field {
    ProxyName,
    DelegatedMatter,
    Year,
    Month,
    Day,
    VehicleNumber,
    Delegator1Reading,
    Delegator1Name,
    Delegator1Title,
    Delegator1Representative,
    Delegator1Address1,
    Delegator1Address2,
    Delegator2Reading,
    Delegator2Name,
    Delegator2Title,
    Delegator2Representative,
    Delegator2Address1,
    Delegator2Address2,
    Delegator3Reading,
    Delegator3Name,
    Delegator3Title,
    Delegator3Representative,
    Delegator3Address1,
    Delegator3Address2,
};

inline constexpr int kFieldCount = 24;

// "proxy_name", "delegator2_address1", ...
QLatin1String fieldKey(Field field);
std::optional<Field> fieldFromKey(QStringView key);

inline Field fieldAt(int index)
{
    return static_cast<Field>(index);
}

// What the clerk typed or picked, and whether the delegated matter is to be printed.
class Letter
{
public:
    const QString &text(Field field) const { return m_texts[static_cast<int>(field)]; }
    void setText(Field field, const QString &text) { m_texts[static_cast<int>(field)] = text; }

    bool delegatedMatterTicked() const { return m_delegatedMatterTicked; }
    void setDelegatedMatterTicked(bool ticked) { m_delegatedMatterTicked = ticked; }

    bool operator==(const Letter &other) const
    {
        return m_texts == other.m_texts && m_delegatedMatterTicked == other.m_delegatedMatterTicked;
    }
    bool operator!=(const Letter &other) const { return !(*this == other); }

private:
    std::array<QString, kFieldCount> m_texts;
    bool m_delegatedMatterTicked = false;
};
