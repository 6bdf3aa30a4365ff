#include "MainFamilyDecoding.h"

#include "LittleEndian.h"
#include "RecordCodec.h"
#include "TabletDataParserBase.h"

#include <string>

namespace mainfamily {
namespace {

constexpr const char* kUnknown = nullptr;

// Zone information texts by sub-code; null drops the record.
constexpr std::array<const char*, 16> kZoneInfoTexts = {
    nullptr,
    "Запуск в ручном режиме",
    "Тушение в ручном режиме",
    "Тушение завершено",
    "Пожар. Автоматика отключена",
    "Пожар. Запуск в ручном режиме",
    "Пожар. Тушение в ручном режиме",
    "Пожар. Тушение завершено",
    nullptr,
    "Запуск в автоматическом режиме",
    "Тушение в автоматическом режиме",
    "Тушение завершено",
    nullptr,
    "Пожар. Запуск в автоматическом режиме",
    "Пожар. Тушение в автоматическом режиме",
    "Пожар. Тушение завершено",
};

struct SubCodeText {
    int subCode;
    const char* info;
    int8_t category;
};

constexpr SubCodeText kConsoleTexts[] = {
    {8, "Отсутствие связи с пультом", 0},
    {1, "Неисправность кнопок пульта", 0},
    {0, "Пульт. Норма", 0},
};

// Zone fault suffixes after "Зона z"; other sub-codes are notifications.
constexpr SubCodeText kZoneFaultTexts[] = {
    {0, ". Норма", 1},
    {1, ". Неисправность системы пожаротушения", 2},
    {4, ". Неисправность шлейфа термокабеля", 2},
    {5, ". Неисправность системы пожаротушения и шлейфа термокабеля", 2},
};

constexpr std::array<const char*, 16> kAutomationTexts = {
    "Прибор в ручном режиме по тамперу",
    "Прибор в ручном режиме по тамперу",
    "Автоматика отключена по ключу",
    "Автоматика отключена",
    "Прибор в ручном режиме по тамперу",
    "Прибор в ручном режиме по тамперу",
    kUnknown,
    kUnknown,
    "Прибор в ручном режиме по тамперу",
    "Прибор в ручном режиме по тамперу",
    kUnknown,
    "Автоматика включена",
    "Прибор в ручном режиме по тамперу",
    "Прибор в ручном режиме по тамперу",
    kUnknown,
    kUnknown,
};

constexpr const char* kNotificationFlags[4] = {
    "Сброс прибора.",
    " Отсутствие питания.",
    " Переполнение счетчика времени.",
    " Рестарт процессора.",
};

const SubCodeText* findSubCode(std::span<const SubCodeText> table, int subCode) {
    for (const auto& row : table)
        if (row.subCode == subCode)
            return &row;
    return nullptr;
}

std::string typeText(int code, const char* group) {
    return "(" + std::to_string(code) + group;
}

// The texts and category of one code byte.
struct Decoded {
    std::string typeText;
    std::string infoText;
    int8_t category = 0;
};

// False when the variant drops the record.
bool decodeCode(const Profile& profile, uint8_t codeByte, Decoded& e) {
    const int code = codeByte >> 4;
    const int sub = codeByte & 0x0F;
    const CodeRow& row = profile[static_cast<size_t>(code)];
    const std::string zone = std::to_string(row.zone);
    switch (row.group) {
    case Group::Normal:
        e.typeText = typeText(code, ") Норма");
        if (sub == 8) {
            e.infoText = "Норма";
            e.category = 1;
        }
        break;
    case Group::Reserve1:
        e.typeText = typeText(code, ") Резерв");
        e.infoText = "Резерв1";
        e.category = 1;
        break;
    case Group::I2C:
        // Without bit 1 the record keeps empty texts but is still listed.
        if (sub & 0x02) {
            e.typeText = typeText(code, ") I2C");
            e.infoText = "I2C";
            e.category = 1;
        }
        break;
    case Group::Console:
        e.typeText = typeText(code, ") Пульт");
        if (const auto* t = findSubCode(kConsoleTexts, sub)) {
            e.infoText = t->info;
            e.category = t->category;
        } else {
            e.infoText = "Пульт. Неизвестное событие";
            e.category = 4;
        }
        break;
    case Group::ZoneFault:
        if (const auto* t = findSubCode(kZoneFaultTexts, sub)) {
            e.typeText = typeText(code, ") Неисправность зоны ") + zone;
            e.infoText = "Зона " + zone + t->info;
            e.category = t->category;
        } else {
            e.typeText = typeText(code, ") Нотификация");
            e.infoText = "Зона " + zone + ". Неисправность зоны. Незвестное событие ";
            e.category = 4;
        }
        break;
    case Group::ZoneInfo: {
        const char* text = kZoneInfoTexts[static_cast<size_t>(sub)];
        if (!text)
            return false;
        e.typeText = typeText(code, ") Информация по зоне ") + zone;
        e.infoText = "Информация по зоне " + zone + ". " + text;
        e.category = 5;
        break;
    }
    case Group::Reserve2:
        e.typeText = typeText(code, ") Резерв");
        e.infoText = "Резерв2";
        e.category = 1;
        break;
    case Group::Automation: {
        e.typeText = typeText(code, ") Автоматика");
        const char* text = kAutomationTexts[static_cast<size_t>(sub)];
        e.infoText = text ? text : "Сообщение автоматики. Неизвестное событие";
        e.category = 0;
        break;
    }
    case Group::Power:
        if (sub == 8 || sub == 4) {
            e.typeText = typeText(code, ") Питание");
            e.infoText = sub == 8 ? "Питание завышено" : "Питание занижено";
        } else {
            e.typeText = typeText(code, ") Нотификация");
            e.infoText = "Питание. Незвестное событие ";
        }
        e.category = 3;
        break;
    case Group::Notification:
        e.typeText = typeText(code, ") Нотификация");
        for (int bit = 0; bit < 4; ++bit)
            if (sub & (1 << bit))
                e.infoText += kNotificationFlags[bit];
        e.category = 1;
        break;
    }
    return true;
}

} // namespace

CodeTable::CodeTable(const Profile& profile) {
    for (size_t c = 0; c < codes_.size(); ++c) {
        Decoded d;
        CodeTexts& texts = codes_[c];
        texts.listed = decodeCode(profile, static_cast<uint8_t>(c), d);
        texts.type = d.typeText;
        texts.info = d.infoText;
        texts.category = d.category;
    }
}

void decode(const CodeTable& table, TimeRule rule, std::span<const uint8_t> records,
            TabletDataParserBase::Run& run, EventCollection& out, const datetime::Clock& clock) {
    const size_t count = records.size() / 4;
    for (size_t i = 0; i < count; ++i, ++run.position) {
        const uint8_t* raw = records.data() + 4 * i;
        const RecordFields fields = recordcodec::kMainLayout.decode(le::read32(raw));
        const double seconds = static_cast<double>(fields.seconds);
        EventInfo e;
        if (rule == TimeRule::CounterWrap) {
            // Before the codes: a record that is then dropped still lowers the base.
            e.time = TabletDataParserBase::counterTime(seconds, run.base, run.previous);
        } else {
            e.time = clock() + seconds / datetime::kSecondsPerDay - run.base;
        }
        e.number = static_cast<int32_t>(run.position + 1);
        e.position = static_cast<int32_t>(run.position);
        e.erased = isErasedRecord(raw);
        const CodeTexts& texts = table[fields.codeByte];
        if (texts.listed) {
            e.codeByte = fields.codeByte;
            e.typeText = texts.type;
            e.infoText = texts.info;
            e.category = texts.category;
            run.previous = e.time;
            out.append(std::move(e));
        }
    }
}

} // namespace mainfamily
