#include "UsualTabletParser.h"

#include "LittleEndian.h"
#include "RecordCodec.h"

#include <array>
#include <string>

namespace {

constexpr uint8_t kPowerUpDetail = 0x80;

struct KindRow {
    const char* groupName;
    int8_t category;
};

constexpr std::array<KindRow, 4> kKinds = {{
    {") Неисправность", 0},
    {") Работа прибора", 1},
    {") Тревожное сообщение", 2},
    {") Информация о питании", 3},
}};

constexpr const char* kUnknownKind = "Неизвестный вид события";

// Kind 0: each set bit, lowest first, replaces the text; the highest stays.
constexpr std::array<const char*, 8> kFaultBits = {
    "Неисправность шлейфа №1",
    "Неисправность шлейфа №2",
    "Неисправность устройства пожаротушения",
    "Неисправность шлейфа двери",
    "Неисправность выхода таб. 1",
    "Неисправность выхода таб. 2",
    "Неисправность линии связи",
    "Неисправность прибора",
};

// Kind 1: the low three bits of the detail.
constexpr std::array<const char*, 8> kOperationTexts = {
    "Автоматика отключена кнопкой 'сброс'",
    "Автоматика отключена открытием двери",
    "Автоматика отключена открытием крышки",
    "Автоматика отключена с пульта",
    kUnknownKind,
    "Автоматика включена электронным ключем",
    kUnknownKind,
    "Автоматика включена с пульта",
};

// Kind 2: the upper four bits of the detail; null adds nothing.
constexpr std::array<const char*, 16> kLaunchTexts = {
    nullptr,
    "Запуск отменен - открыта дверь",
    "Запуск отменен - открыта крышка прибора",
    "Запуск отменен с пульта",
    "Запуск в автоматическом режиме",
    kUnknownKind,
    "Запуск в ручном режиме по нажатию кнопки пуск",
    "Запуск в ручном режиме с пульта",
    "Начало тушения",
    kUnknownKind,
    kUnknownKind,
    kUnknownKind,
    "Тушение завершено",
    kUnknownKind,
    kUnknownKind,
    kUnknownKind,
};

std::string faultText(uint8_t detail) {
    if (detail == 0)
        return "Все цепи в норме";
    std::string text;
    for (size_t bit = 0; bit < 8; ++bit)
        if (detail & (1u << bit))
            text = kFaultBits[bit];
    return text;
}

std::string alarmText(uint8_t detail) {
    std::string text;
    if (detail & 0x08)
        text = "Пожар! (сработало более одного извещателя)";
    else if (detail & 0x04)
        text = "Внимание! Сработал один извещатель";
    if (detail & 0x01)
        text = "Сработка шлейфа №1";
    if (detail & 0x02)
        text = "Сработка шлейфа №2";
    if (const char* launch = kLaunchTexts[detail >> 4])
        text = launch;
    return text;
}

std::string powerText(uint8_t detail) {
    switch (detail) {
    case 0x00:
        return "Питание в норме";
    case 0x01:
        return "Неисправность питания";
    case kPowerUpDetail:
        return "Питание включено";
    default:
        return "Память событий пуста";
    }
}

// Every text the variant shows, made once: the type of each kind and the
// information of each kind and detail.
struct GarageTexts {
    std::array<EventText, 4> types;
    std::array<EventText, 4 * 256> infos;

    GarageTexts() {
        for (size_t kind = 0; kind < kKinds.size(); ++kind) {
            types[kind] = "(" + std::to_string(kind) + kKinds[kind].groupName;
            for (size_t d = 0; d < 256; ++d) {
                const auto detail = static_cast<uint8_t>(d);
                switch (kind) {
                case 0:
                    infos[kind * 256 + d] = faultText(detail);
                    break;
                case 1:
                    infos[kind * 256 + d] = kOperationTexts[detail & 0x07];
                    break;
                case 2:
                    infos[kind * 256 + d] = alarmText(detail);
                    break;
                default:
                    infos[kind * 256 + d] = powerText(detail);
                    break;
                }
            }
        }
    }
    static const GarageTexts& get() {
        static const GarageTexts texts;
        return texts;
    }
};

} // namespace

bool UsualTabletParser::isPowerUp(const EventInfo& event) {
    if (event.raw) {
        const RecordFields f = recordcodec::kGarageLayout.decode(le::read32(event.raw->data()));
        return f.kind == 3 && f.codeByte == kPowerUpDetail;
    }
    return event.codeByte == kPowerUpDetail && event.typeText.str().rfind("(3)", 0) == 0;
}

bool UsualTabletParser::hasGroupText(const EventInfo& event) {
    // "(" and the kind's digit, then its group name (asked of every record of a
    // list a million long: nothing is built)
    const std::string& text = event.typeText;
    if (text.size() < 2 || text[0] != '(' || text[1] < '0' ||
        static_cast<size_t>(text[1] - '0') >= kKinds.size())
        return false;
    return text.compare(2, std::string::npos,
                        kKinds[static_cast<size_t>(text[1] - '0')].groupName) == 0;
}

void UsualTabletParser::decodeMore(std::span<const uint8_t> records, Run& run,
                                   EventCollection& out) const {
    const GarageTexts& texts = GarageTexts::get();
    const size_t count = records.size() / 4;
    for (size_t i = 0; i < count; ++i, ++run.position) {
        const uint8_t* raw = records.data() + 4 * i;
        const RecordFields fields = recordcodec::kGarageLayout.decode(le::read32(raw));
        const int kind = fields.kind;
        const uint8_t detail = fields.codeByte;

        EventInfo e;
        e.time = counterTime(fields.seconds, run.base, run.previous);
        run.previous = e.time;
        // Every record older than the first power-up was dated across a power
        // loss: the controller's counter restarted, so its time needs a hand.
        e.timeState = run.powerUpMet ? EventInfo::NeedsCorrection : EventInfo::Normal;
        if (run.powerUpMet)
            e.noteText = eventtext::needsCorrectionNote();
        e.number = static_cast<int32_t>(run.position + 1);
        e.position = static_cast<int32_t>(run.position);
        e.raw = std::array<uint8_t, 4>{raw[0], raw[1], raw[2], raw[3]};
        e.erased = isErasedRecord(raw);
        e.codeByte = detail;
        e.typeText = texts.types[static_cast<size_t>(kind)];
        e.category = kKinds[static_cast<size_t>(kind)].category;
        e.infoText = texts.infos[static_cast<size_t>(kind) * 256 + detail];
        const bool powerUp = kind == 3 && detail == kPowerUpDetail;
        e.zeroTime = (fields.seconds == 0 && powerUp) ? 1 : 0;
        if (powerUp)
            run.powerUpMet = true;
        out.append(std::move(e));
    }
}
