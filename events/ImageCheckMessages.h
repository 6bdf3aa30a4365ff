#pragma once

#include "TabletImage.h"

// What the read-out tells the user when a check of the image fails; the
// headless decoder prints the same texts.

// The clock read after the memory did not confirm that the tablet stayed.
inline constexpr const char* kTabletRemovedMessage =
    "Электронный ключ убран до окончания чтения. Попробуйте еще раз.";

// Bytes 8 to 511 all 0x00 or all 0xFF: no controller has written the tablet
// since the read command (zeros would even pass every check).
inline constexpr const char* kTabletNotFilledMessage =
    "Таблетка не заполнена контроллером. Приложите ее к контроллеру и считайте снова.";

inline const char* imageCheckMessage(TabletImage::Check check) {
    switch (check) {
    case TabletImage::Check::FirstHeader:
        return "Ошибка проверки CRC первого заголовка.\n\n Возможно таблетка не содержит команду "
               "чтения или имеет неправильный формат.\r\n Если вы уверены в том что таблетка "
               "правильно записана попытайтесь еще раз.";
    case TabletImage::Check::SecondHeader:
        return "Ошибка проверки CRC второго заголовка.\r\n Данные на таблетку не записаны или "
               "прочитаны некорректно.\r\nПопытайтесь прочитать данные еще раз";
    case TabletImage::Check::EventSum:
        return "Ошибка проверки контрольной суммы памяти событий.\r\n Данные считаны "
               "некорректно.\r\n Попробуйте еще раз.";
    case TabletImage::Check::Passed:
        break;
    }
    return "";
}
