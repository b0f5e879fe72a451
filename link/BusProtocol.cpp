#include "BusProtocol.h"

#include "Funci.h"

namespace korlin::bus {

std::string_view stateLabelText(int status)
{
    switch (status) {
    case 129: return "Мип находится в режиме измерений.";
    case 130: return "Мип ожидает ввод программы измерений.";
    case 132: return "Ожидание повтора ввода прграммы, не совпадение числа байт.";
    case 133: return "Ожидание повтора ввода программы, не совпадение контрольной суммы.";
    case 135: return "Ожидание повтора ввода прграммы, длинна массива больше диска МИП.";
    case 136: return "Ожидание повтора ввода прграммы, длинна массива больше ОЗУ МИП.";
    case 137: return "Мип находится в ручном режиме.";
    case 138: return "Мип находится в режиме ожидания.";
    default: return kStateLabelInvalid;
    }
}

std::optional<WarningBox> warningBox(int status)
{
    switch (status) {
    case 130: return WarningBox{"МИП ожидает ввод программы измерений!", "Предупреждение!(ответ 130)"};
    case 132: return WarningBox{"МИП ожидает повторения ввода программы измерений! ", "Не совпало число принятых байт!(ответ 132)"};
    case 133: return WarningBox{"МИП ожидает ввод программы измерений! ", "Не совпала контрольная сумма!(ответ 133)"};
    case 135: return WarningBox{"МИП ожидает ввод программы измерений! ", "Длинна массива больше зоны диска МИП!(ответ 135)"};
    case 136: return WarningBox{"МИП ожидает ввод программы измерений! ", "Длинна массива больше зоны ОЗУ МИП!ответ 136)"};
    case 137: return WarningBox{"МИП находится в ручном режиме! Переведите МИП в режим измерений!", "Предупреждение о состоянии МИП!(ответ 137)"};
    default: return std::nullopt;
    }
}

namespace modbus {
std::array<uint8_t, 8> readRequest(uint8_t slave, uint16_t firstRegister, uint16_t count)
{
    std::array<uint8_t, 8> r{slave, kReadHolding, uint8_t(firstRegister >> 8), uint8_t(firstRegister & 0xFF),
                             uint8_t(count >> 8), uint8_t(count & 0xFF), 0, 0};
    const uint16_t crc = CRC16(r.data(), 6);
    r[6] = uint8_t(crc >> 8);
    r[7] = uint8_t(crc & 0xFF);
    return r;
}
} // namespace modbus

} // namespace korlin::bus
