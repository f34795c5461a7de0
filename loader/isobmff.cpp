// SPDX-License-Identifier: GPL-3.0-or-later
#include "isobmff.h"

#include "codec.h"

namespace isobmff {

quint64 Reader::number(int size)
{
    if (size < 0 || size > 8 || left() < size)
        refuse();
    quint64 value = 0;
    for (int i = 0; i < size; ++i)
        value = value << 8 | uchar(m_bytes[m_at + i]);
    m_at += size;
    return value;
}

QByteArray Reader::bytes(qsizetype count)
{
    if (count < 0 || left() < count)
        refuse();
    const QByteArray part = m_bytes.mid(m_at, count);
    m_at += count;
    return part;
}

namespace {

// The box starting at `at`: its type, where its content starts and where it ends.
struct Header
{
    QByteArray type;
    qsizetype content = 0;
    qsizetype end = 0;
};

Header headerAt(const QByteArray &bytes, qsizetype at)
{
    Reader in(bytes, at);
    quint64 size = in.u32();
    Header header;
    header.type = in.bytes(4);
    if (size == 1)
        size = in.number(8);
    else if (size == 0)
        size = quint64(bytes.size() - at);
    header.content = in.at();
    if (size < quint64(header.content - at) || size > quint64(bytes.size() - at))
        refuse();
    header.end = at + qsizetype(size);
    return header;
}

void readItemInfo(const Box &iinf, Meta &meta)
{
    Reader in(iinf.body);
    const int version = int(in.u8());
    in.skip(3);
    const quint32 count = version == 0 ? in.u16() : in.u32();
    const std::vector<Box> entries = boxesIn(iinf.body.mid(in.at()));
    if (entries.size() < count)
        refuse();
    for (const Box &entry : entries) {
        if (entry.type != "infe")
            continue;
        Reader e(entry.body);
        const int infeVersion = int(e.u8());
        e.skip(3);
        Item item;
        if (infeVersion < 2) {
            item.id = e.u16(); // no type: an item of an older kind, never an image
        } else {
            item.id = infeVersion == 2 ? e.u16() : e.u32();
            e.skip(2); // protection
            item.type = e.bytes(4);
        }
        if (!meta.items.emplace(item.id, item).second)
            refuse(); // two items of one number
    }
}

void readLocations(const Box &iloc, Meta &meta)
{
    Reader in(iloc.body);
    const int version = int(in.u8());
    in.skip(3);
    if (version > 2)
        refuse();
    const quint32 sizes = in.u16();
    const int offsetSize = int(sizes >> 12), lengthSize = int(sizes >> 8 & 15),
              baseSize = int(sizes >> 4 & 15), indexSize = version > 0 ? int(sizes & 15) : 0;
    const quint32 count = version < 2 ? in.u16() : in.u32();
    for (quint32 i = 0; i < count; ++i) {
        const quint32 id = version < 2 ? in.u16() : in.u32();
        const int construction = version > 0 ? int(in.u16() & 15) : 0;
        if (in.u16() != 0 || construction > 1)
            refuse(); // data in another file, or made of other items
        const quint64 base = in.number(baseSize);
        const quint32 extents = in.u16();
        const auto found = meta.items.find(id);
        for (quint32 e = 0; e < extents; ++e) {
            in.number(indexSize);
            const quint64 offset = in.number(offsetSize), length = in.number(lengthSize);
            if (found != meta.items.end())
                found->second.extents.emplace_back(base + offset, length);
        }
        if (found != meta.items.end())
            found->second.construction = construction;
    }
}

void readReferences(const Box &iref, Meta &meta)
{
    Reader in(iref.body);
    const int size = in.u8() == 0 ? 2 : 4;
    in.skip(3);
    for (const Box &kind : boxesIn(iref.body.mid(in.at()))) {
        Reader r(kind.body);
        const quint32 from = quint32(r.number(size));
        const quint32 count = r.u16();
        const auto found = meta.items.find(from);
        for (quint32 i = 0; i < count; ++i) {
            const quint32 to = quint32(r.number(size));
            if (found == meta.items.end())
                continue;
            if (kind.type == "dimg")
                found->second.derivedFrom.push_back(to);
            else
                found->second.references.emplace_back(kind.type, to);
        }
    }
}

void readProperties(const Box &iprp, Meta &meta)
{
    for (const Box &part : boxesIn(iprp.body)) {
        if (part.type == "ipco") {
            meta.properties = boxesIn(part.body);
        } else if (part.type == "ipma") {
            Reader in(part.body);
            const int version = int(in.u8());
            const bool wide = in.number(3) & 1;
            const quint32 entries = in.u32();
            for (quint32 i = 0; i < entries; ++i) {
                const quint32 id = version < 1 ? in.u16() : in.u32();
                const int count = int(in.u8());
                const auto found = meta.items.find(id);
                for (int a = 0; a < count; ++a) {
                    const int index = wide ? int(in.u16() & 0x7fff) : int(in.u8() & 0x7f);
                    if (index > 0 && found != meta.items.end())
                        found->second.properties.push_back(index - 1);
                }
            }
        }
    }
    for (const auto &[id, item] : meta.items)
        for (const int index : item.properties)
            if (index >= int(meta.properties.size()))
                refuse();
}

} // namespace

std::vector<Box> boxesIn(const QByteArray &bytes)
{
    std::vector<Box> boxes;
    for (qsizetype at = 0; at < bytes.size();) {
        const Header header = headerAt(bytes, at);
        boxes.push_back({header.type, bytes.mid(header.content, header.end - header.content)});
        at = header.end;
    }
    return boxes;
}

const Item &Meta::item(quint32 id) const
{
    const auto found = items.find(id);
    if (found == items.end())
        refuse();
    return found->second;
}

const Box *Meta::property(const Item &item, const char *type) const
{
    for (const int index : item.properties)
        if (properties[std::size_t(index)].type == type)
            return &properties[std::size_t(index)];
    return nullptr;
}

std::vector<quint32> Meta::referringTo(quint32 id, const char *type) const
{
    std::vector<quint32> from;
    for (const auto &[other, item] : items)
        for (const auto &[kind, to] : item.references)
            if (to == id && kind == type)
                from.push_back(other);
    return from;
}

Meta readMeta(const QByteArray &file)
{
    qsizetype at = 0;
    Header header;
    do {
        if (at >= file.size())
            refuse(); // no metadata box
        header = headerAt(file, at);
        at = header.end;
    } while (header.type != "meta");
    Reader in(file, header.content);
    in.skip(4); // version and flags
    Meta meta;
    const std::vector<Box> boxes = boxesIn(file.mid(in.at(), header.end - in.at()));
    bool primary = false;
    // Items first: every other box names them.
    for (const Box &box : boxes)
        if (box.type == "iinf")
            readItemInfo(box, meta);
    for (const Box &box : boxes) {
        if (box.type == "pitm") {
            Reader p(box.body);
            const int version = int(p.u8());
            p.skip(3);
            meta.primary = version == 0 ? p.u16() : p.u32();
            primary = true;
        } else if (box.type == "iloc") {
            readLocations(box, meta);
        } else if (box.type == "iref") {
            readReferences(box, meta);
        } else if (box.type == "iprp") {
            readProperties(box, meta);
        } else if (box.type == "idat") {
            meta.idat = box.body;
        }
    }
    if (!primary)
        refuse();
    return meta;
}

QByteArray itemData(const QByteArray &file, const Meta &meta, const Item &item, qint64 limit)
{
    const QByteArray &source = item.construction == 1 ? meta.idat : file;
    QByteArray data;
    for (const auto &[offset, length] : item.extents) {
        const quint64 size = quint64(source.size());
        const quint64 take = length == 0 && offset <= size ? size - offset : length;
        if (offset > size || take > size - offset || qint64(data.size() + take) > limit)
            refuse();
        data.append(source.constData() + offset, qsizetype(take));
    }
    return data;
}

QByteArray itemView(const QByteArray &file, const Meta &meta, const Item &item)
{
    if (item.extents.size() != 1)
        return itemData(file, meta, item, file.size());
    const QByteArray &source = item.construction == 1 ? meta.idat : file;
    const auto [offset, length] = item.extents.front();
    const quint64 size = quint64(source.size());
    const quint64 take = length == 0 && offset <= size ? size - offset : length;
    if (offset > size || take > size - offset)
        refuse();
    return QByteArray::fromRawData(source.constData() + offset, qsizetype(take));
}

} // namespace isobmff
