#include "db/RepeatedTexts.h"

#include <QHash>

QVariant RepeatedTexts::text(const char *bytes, int size)
{
    if (size > LongestKept)
        return QString::fromUtf8(bytes, size);
    const QByteArrayView key(bytes, size);
    Slot &slot = m_slots[qHash(key) % m_slots.size()];
    if (!slot.text.isValid() || slot.bytes != key) {
        slot.bytes = key.toByteArray();
        slot.text = QString::fromUtf8(bytes, size);
    }
    return slot.text;
}
