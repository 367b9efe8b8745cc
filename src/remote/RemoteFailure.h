#pragma once

#include <QString>

// What went wrong in talking to a server, for callers that react to some of it in their own words.
enum class RemoteProblem {
    NotSent, // Quillmont refused to send: the request cannot be sent as it is, or a limit of ours holds
    NoAnswer, // nothing came back in time
    PasswordRefused, // "Bad rcon_password.": the password is wrong, or the server has none
    Banned, // the server has banned this computer's address
    BadReply, // something came back that is not a reply Quillmont can read
    NetworkError, // the system could not send, or could not find the server
};

struct RemoteFailure {
    RemoteProblem problem;
    // The whole message for the operator, naming the server and the reason.
    QString message;
};
