// Requests to the real administration server as the library sends them, and the directory
// read back with plain LDAP, for the server's end-to-end tests.
#include "tests/support/admind_requests.h"

#include <arpa/inet.h>
#include <ldap.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <thread>

#include "admin/admin_channel.h"
#include "tests/support/ldap_session.h"

namespace zntest {

using zn::ChangeRequest;
using zn::RequestFields;

// One request, formatted by the library's protocol module and carried by its exchange.
Answer Send(ChangeRequest kind, RequestFields fields, std::uint32_t port, const char* domain) {
    std::string request;
    EXPECT_TRUE(zn::FormatChangeRequest(kind, fields, request));
    zn::CZNAdminChannel channel(domain, port);
    channel.SetWaitLimit(10, 0);
    Answer answer;
    const auto start = std::chrono::steady_clock::now();
    answer.result = channel.Transact(request.c_str());
    answer.took = std::chrono::steady_clock::now() - start;
    answer.code = channel.GetErrorCode();
    answer.text = channel.GetErrorText();
    return answer;
}

RequestFields By(const std::string& user, const std::string& group, const std::string& target) {
    RequestFields f;
    f.userName = user;
    f.groupName = group;
    f.targetName = target;
    return f;
}

// The questions of record type 00002, asked of the local server.
Answer Status(long number) {
    RequestFields f;
    f.number = number;
    return Send(ChangeRequest::kGetChangeStatus, f);
}

Answer LogEntry(long number) {
    RequestFields f;
    f.number = number;
    return Send(ChangeRequest::kGetChangeLogEntry, f);
}

std::list<std::string> ChangeLog(const std::string& group, long* code, long waitSeconds) {
    std::string request;
    zn::FormatChangeRequest(ChangeRequest::kGetGroupChangeLogs, By("", group), request);
    zn::CZNAdminChannel channel;
    channel.SetWaitLimit(waitSeconds, 0);
    std::list<std::string> records = channel.TransactList(request.c_str());
    if (code != nullptr) *code = channel.GetErrorCode();
    return records;
}

long ChangeNumber(const Answer& answer) {
    return answer.text.rfind("Change ", 0) == 0 ? std::atol(answer.text.c_str() + 7) : 0;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The values of one attribute of a group, read from the provider with plain LDAP, as
// lower-case DNs or texts; a missing group reads as no values.
std::set<std::string> Values(const std::string& group, const char* attribute) {
    std::set<std::string> values;
    LdapPtr ld = OpenLdap(ProviderHost());
    if (!ld) {
        ADD_FAILURE() << "ldap_initialize";
        return values;
    }
    std::string filter = "(&(objectClass=groupOfUniqueNames)(cn=" + group + "))";
    char* attrs[] = {const_cast<char*>(attribute), nullptr};
    LDAPMessage* result = nullptr;
    int rc = ldap_search_ext_s(ld.get(), BaseDN().c_str(), LDAP_SCOPE_SUBTREE, filter.c_str(),
                               attrs, 0, nullptr, nullptr, nullptr, 0, &result);
    EXPECT_EQ(rc, LDAP_SUCCESS) << ldap_err2string(rc);
    for (LDAPMessage* e = ldap_first_entry(ld.get(), result); e != nullptr;
         e = ldap_next_entry(ld.get(), e)) {
        berval** vals = ldap_get_values_len(ld.get(), e, attribute);
        for (int i = 0; vals != nullptr && vals[i] != nullptr; ++i) {
            values.insert(Lower(std::string(vals[i]->bv_val, vals[i]->bv_len)));
        }
        ldap_value_free_len(vals);
    }
    ldap_msgfree(result);
    return values;
}

// Adds one value to a group's attribute behind the server's back, as cn=admin.
void AddValue(const std::string& group, const char* attribute, const std::string& value) {
    EXPECT_EQ(WriteAsAdmin("cn=" + group + ",ou=zngroups," + BaseDN(), LDAP_MOD_ADD,
                           {{attribute, {value}}}),
              LDAP_SUCCESS);
}

std::string PersonDN(const std::string& uid) {
    return Lower("uid=" + uid + ",ou=People," + BaseDN());
}
std::string GroupDN(const std::string& name) {
    return Lower("cn=" + name + ",ou=zngroups," + BaseDN());
}

void AdminServer::Create(std::initializer_list<const char*> names) {
    for (const char* name : names) {
        RequestFields f = By(kAdmin, "", name);
        f.organizationalUnit = "zngroups";
        Answer a = Send(ChangeRequest::kCreateGroup, f);
        ASSERT_EQ(a.result, 1) << name << ": " << a.code << " " << a.text;
    }
}

void AdminServer::Link(const char* parent, const char* child) {
    Answer a = Send(ChangeRequest::kAddSubGroup, By(kAdmin, parent, child));
    ASSERT_EQ(a.result, 1) << parent << " > " << child << ": " << a.text;
}

void AdminServer::AddMember(const char* group, const char* uid) {
    Answer a = Send(ChangeRequest::kAddMember, By(kAdmin, group, uid));
    ASSERT_EQ(a.result, 1) << group << " + " << uid << ": " << a.text;
}

int Connect(const AdminDaemon& server, const std::string& source, int receiveBuffer, int segment) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0) {
        setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    }
    if (segment > 0) setsockopt(fd, IPPROTO_TCP, TCP_MAXSEG, &segment, sizeof segment);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    if (!source.empty()) {
        inet_pton(AF_INET, source.c_str(), &address.sin_addr);
        EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << source;
    }
    address.sin_port = htons(static_cast<uint16_t>(server.Port()));
    inet_pton(AF_INET, server.Address().c_str(), &address.sin_addr);
    EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
}

std::string ReadToClose(int fd) {
    timeval bound{10, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    std::string reply;
    char buffer[4096];
    ssize_t got = 0;
    while ((got = recv(fd, buffer, sizeof buffer, 0)) > 0) {
        reply.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return reply;
}

std::string Raw(const AdminDaemon& server, const std::vector<std::string>& pieces,
                std::chrono::milliseconds pause, int segment) {
    int fd = Connect(server, "", 0, segment);
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) std::this_thread::sleep_for(pause);
        send(fd, pieces[i].data(), pieces[i].size(), MSG_NOSIGNAL);
    }
    return ReadToClose(fd);
}

}  // namespace zntest
