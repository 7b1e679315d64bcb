#include "app/messages.h"

#include "util/cp1251.h"

namespace zelsnmp {

namespace {

StartupTexts ToCp1251(StartupTexts texts) {
  for (std::string* text :
       {&texts.server_type, &texts.trace_name, &texts.no_stop_event, &texts.no_start_event,
        &texts.start_not_fired, &texts.task_started, &texts.no_server_name,
        &texts.tm_not_connected, &texts.config_connect_enter, &texts.config_connect_exit,
        &texts.config_server_unreachable, &texts.file_get_enter, &texts.file_not_fetched,
        &texts.file_get_exit, &texts.task_stopped, &texts.window_above_largest,
        &texts.window_above_largest_rest, &texts.window_not_understood,
        &texts.window_not_understood_rest, &texts.notification_not_understood,
        &texts.notification_not_understood_rest}) {
    *text = Utf8ToCp1251(*text);
  }
  return texts;
}

}  // namespace

const StartupTexts& Texts() {
  static const StartupTexts texts = ToCp1251({
      .server_type = "Приём SNMP",
      .trace_name = "<zelSNMP>",
      .no_stop_event = "Cannot create stop event!\n",
      .no_start_event = "Cannot create start event!\n",
      .start_not_fired = "Couldn't fire start event!\n",
      .task_started = "Задача запущена\n",
      .no_server_name = "Не указано имя сервера для подключения\n",
      .tm_not_connected = "Не удалось соединиться с сервером %s на машине %s\n",
      .config_connect_enter = "nhConnect \"%s\" enter\n",
      .config_connect_exit = "nhConnect Exit\n",
      .config_server_unreachable =
          "Не удалось присоединиться с серверу конфигурации на компьютере %s",
      .file_get_enter = "nhFileGet enter\n",
      .file_not_fetched = "Не удалось получить файл %s на компьютере %s (%s)!\n",
      .file_get_exit = "nhFileGet exit\n",
      .task_stopped = "Задача остановлена\n",
      .window_above_largest = "Ключ ",
      .window_above_largest_rest = " больше наибольшего: опрос идёт с окном /p",
      .window_not_understood = "Ключ ",
      .window_not_understood_rest =
          " не понят (нужно /p или /pN, N от 1 до 256): агенты опрашиваются по одному\n",
      .notification_not_understood = "Ключ ",
      .notification_not_understood_rest =
          " не понят (нужно /t или /tPORT, PORT от 1 до 65535): уведомления не принимаются\n",
  });
  return texts;
}

}  // namespace zelsnmp
