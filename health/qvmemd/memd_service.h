#pragma once

// The service's whole life: identification, start-up, the request loop; the exit status.
int runMemdService();
