#include "app/random_uuid.h"

#include <QUuid>

namespace vornisel {

std::string randomUuid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
}

}  // namespace vornisel
