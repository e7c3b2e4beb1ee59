#ifndef QUILLON_H
#define QUILLON_H

// The whole public interface of the Quillon1 library.

#include "quillon_global.h"

#include "packets/calculate_crc_class.h"
#include "packets/catalogue_packets.h"
#include "packets/command_catalogue.h"
#include "packets/command_packets.h"
#include "packets/packet_class.h"
#include "packets/packet_get_class.h"
#include "packets/packet_go_class.h"
#include "packets/packet_resp_class.h"
#include "packets/packet_resp_system.h"
#include "packets/packet_set_class.h"
#include "packets/reset_code.h"
#include "packets/response_filters.h"
#include "scheduling/entry_points.h"
#include "scheduling/scheduling_enums.h"
#include "scheduling/timeouts_class.h"
#include "scheduling/tx_sched_item_protocol_class.h"
#include "scheduling/tx_sched_item_send_once_class.h"
#include "scheduling/tx_scheduler_class.h"
#include "scheduling/tx_scheduler_item_class.h"
#include "scheduling/tx_tracking_class.h"
#include "serial/com_485_class.h"
#include "serial/com_resource.h"
#include "serial/com_setup.h"
#include "serial/packet_builder_class.h"
#include "serial/rx_noise_class.h"
#include "serial/rx_scheduler_class.h"
#include "serial/serial_port.h"
#include "serial/user_prompt.h"

#endif // QUILLON_H
