#include "link_fixture.h"

#include <fstream>
#include <sstream>

std::string LinkFixture::ReadFile(const std::string& name) const {
    std::ifstream file(portDir + "/" + name, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return content.str();
}

void LinkFixture::WriteFile(const std::string& name, const std::string& bytes) const {
    std::ofstream file(portDir + "/" + name, std::ios::binary | std::ios::trunc);
    file << bytes;
}
