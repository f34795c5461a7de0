// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The metadata box of a HEIF file, read before any decoder sees the file: which item is shown,
// what it is made of, the properties that state its size and its transforms, and where its
// data lies. Anything malformed or out of the file is refused.

#include <QByteArray>

#include <map>
#include <vector>

namespace isobmff {

// A box's type and content (after its header; a full box's version and flags included).
struct Box
{
    QByteArray type;
    QByteArray body;
};

struct Item
{
    quint32 id = 0;
    QByteArray type; // "hvc1", "av01", "grid", "iovl", "iden", "Exif"...
    std::vector<int> properties; // indices into Meta::properties, in the file's order
    std::vector<quint32> derivedFrom; // "dimg": the tiles or layers, in order
    std::vector<std::pair<QByteArray, quint32>> references; // every other kind, to the item
    int construction = 0; // 0: in the file, 1: in the metadata's own data box
    std::vector<std::pair<quint64, quint64>> extents; // offset, length
};

struct Meta
{
    quint32 primary = 0;
    std::map<quint32, Item> items;
    std::vector<Box> properties;
    QByteArray idat;

    // The item, or a refusal where the file has none of that number.
    const Item &item(quint32 id) const;
    // The item's property of that type, or nullptr.
    const Box *property(const Item &item, const char *type) const;
    // The items that refer to `id` with a reference of this type.
    std::vector<quint32> referringTo(quint32 id, const char *type) const;
};

// The top-level boxes up to and including the metadata box, read.
Meta readMeta(const QByteArray &file);

// An item's data, gathered from its extents; refused where it is longer than `limit`.
QByteArray itemData(const QByteArray &file, const Meta &meta, const Item &item, qint64 limit);
// The same without a copy where the data lies in one piece: valid while `file` and `meta` are.
QByteArray itemView(const QByteArray &file, const Meta &meta, const Item &item);

// Big-endian numbers of a box's content, read forward; reading past its end refuses the file.
class Reader
{
public:
    explicit Reader(const QByteArray &bytes, qsizetype at = 0)
        : m_bytes(bytes)
        , m_at(at)
    { }
    quint64 number(int size);
    quint32 u8() { return quint32(number(1)); }
    quint32 u16() { return quint32(number(2)); }
    quint32 u32() { return quint32(number(4)); }
    QByteArray bytes(qsizetype count);
    void skip(qsizetype count) { bytes(count); }
    qsizetype at() const { return m_at; }
    qsizetype left() const { return m_bytes.size() - m_at; }

private:
    const QByteArray &m_bytes;
    qsizetype m_at;
};

// The boxes inside a range of bytes, in order.
std::vector<Box> boxesIn(const QByteArray &bytes);

} // namespace isobmff
