#include "app/single_instance.h"

SingleInstanceGuard::SingleInstanceGuard(std::string fileName) : fileName_(std::move(fileName)) {}

SingleInstanceGuard::~SingleInstanceGuard() {
    Release();
}
