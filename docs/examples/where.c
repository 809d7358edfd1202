/* where.c: prints the last valid fix the service kept, then the next RMC messages of its data
 * stream, with the C interface of libtarnwick.
 *
 *   cc -std=c99 where.c $(pkg-config --cflags --libs tarnwick-c) -o where
 *   ./where [COUNT]          (COUNT RMC messages, 5 when not given)
 *
 * Exit status: 0 done, 1 the stream stopped early, 2 usage, 3 no service. */
#include <tarnwick.h>

#include <stdio.h>
#include <stdlib.h>

static void print_rmc(const char* label, const tarnwick_rmc* rmc) {
    const tarnwick_position* at = &rmc->position;
    printf("%s %02u:%02u:%06.3f %c %d %07.4f' %c %d %07.4f' %c %.1f kn\n", label,
           (unsigned)rmc->time.hour, (unsigned)rmc->time.minute, rmc->time.second, rmc->status,
           (int)at->lat_deg, at->lat_min, at->lat_hemi ? at->lat_hemi : '-', (int)at->lon_deg,
           at->lon_min, at->lon_hemi ? at->lon_hemi : '-', rmc->speed);
}

int main(int argc, char** argv) {
    long wanted = 5;
    if (argc > 2 || (argc == 2 && (wanted = strtol(argv[1], NULL, 10)) <= 0)) {
        fprintf(stderr, "usage: where [COUNT]\n");
        return 2;
    }

    /* The defaults: start the service when it is not running, generous time-outs. */
    tarnwick_client* client = NULL;
    tarnwick_error error = tarnwick_open(NULL, &client);
    if (error != TARNWICK_OK) {
        fprintf(stderr, "where: %s\n", tarnwick_error_message(error));
        return 3;
    }

    tarnwick_rmc fix;
    int has_fix = 0;
    error = tarnwick_get_valid_rmc(client, &fix, &has_fix);
    if (error != TARNWICK_OK) {
        fprintf(stderr, "where: %s\n", tarnwick_error_message(error));
    } else if (has_fix) {
        print_rmc("last fix", &fix);
    } else {
        printf("no valid fix yet\n");
    }

    tarnwick_watcher* watcher = NULL;
    error = tarnwick_watcher_open(client, &watcher);
    long seen = 0;
    while (error == TARNWICK_OK && seen < wanted) {
        tarnwick_message message;
        uint64_t lost = 0;
        error = tarnwick_watcher_next(watcher, 10000, &message, &lost);
        if (lost != 0) {
            fprintf(stderr, "where: %llu messages lost\n", (unsigned long long)lost);
        }
        if (error == TARNWICK_OK && message.id == TARNWICK_RMC) {
            print_rmc("rmc", &message.record.rmc);
            ++seen;
        }
    }
    if (error != TARNWICK_OK) {
        fprintf(stderr, "where: %s\n", tarnwick_error_message(error));
    }
    tarnwick_watcher_close(watcher);
    tarnwick_close(client);
    return seen == wanted ? 0 : 1;
}
