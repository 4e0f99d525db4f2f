// One HTTP exchange, synchronous: it runs on a thread that may wait for it, never the window's.
#pragma once

#include <string>

namespace varnel {

struct HttpAnswer {
    int status = 0;       // the answer's HTTP status, whatever it is
    std::u16string body;  // decoded by the answer's charset, UTF-8 when it names none
};

class HttpTransport {
public:
    virtual ~HttpTransport() = default;
    // Sends one POST to url (scheme, host, optional port and path) with the one header
    // "CONTENT-TYPE: <contentType>" and the body bytes, and waits for the whole answer.
    // Throws PlatformError for every failure: no connection, host unknown, certificate refused,
    // time limit reached, an answer body over the size limit.
    virtual HttpAnswer Post(const std::u16string& url, const std::u16string& contentType,
                            const std::string& body) = 0;
};

}  // namespace varnel
