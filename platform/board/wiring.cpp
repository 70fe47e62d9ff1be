// The board's wiring: every device of the evaluation board and the chip's bus, timer channel,
// DMA stream and GPIO lines it hangs on. This is the only place that says which is where; the
// device models take their lines from here, and the chip's peripheral models only offer the
// attach points.
//
//   device                   chip side
//   console                  USART1 (TX on PA9)
//   serial SRAM              SPI2 (SCK PI1, MISO PB14, MOSI PB15), chip select PA8
//   codec, control           I2C3 at 0x34 (kControlBus), shared with the touch controller
//   codec, audio             SAI2 block A, fed by DMA2 stream 4 (the SAI's own request line)
//   WS2811 chain             PB4 = TIM3 channel 1 (alternate function 2), fed by DMA1 stream 4
//   backlight                PK3, switched by the TIM4 update interrupt (run in batches)
//   knob                     TIM8 channels 1 and 2 (PC6, PC7) in encoder mode
//   parents'/power key       PG7 (low while pressed), its function PG6
//   mono switch              PF6
//   light sensor             ADC3 channel 7 (PF9)
//   USB stick                OTG FS (PA11, PA12, ID PA10), VBUS switch PD5 (low = on)
//   power latch              PA0 (high = off): wirePowerLatch()
//   display                  LTDC: the frame buffer the graphics board adaptation gives it
//   touch controller         I2C3 at 0x70, beside the codec
//
// The DMA streams are the firmware's choice among those the chip wires to each request; the
// timer channel and SAI models check that choice themselves.
#include "wiring.h"

#include <string>

#include "backlight.h"
#include "codec.h"
#include "console.h"
#include "inputs.h"
#include "panel.h"
#include "power.h"
#include "sim_stdio.h"
#include "simhal.h"
#include "simtim.h"
#include "sram.h"
#include "stick.h"
#include "touch_panel.h"
#include "ws2811_chain.h"

namespace simboard {

void wire() {
  // What the firmware prints reaches the console; a context that sleeps for good is named by
  // the last text it printed.
  simhal::attachUartReceiver(USART1, &simconsole::put);
  simruntime::observeFirmwareOutput(&simconsole::printed);
  simhal::setSleepReason([] { return simconsole::lastTextOf(simk::contextName()); });

  simsram::connect(SPI2, simhal::line(GPIOA, 8));
  simcodec::connect(kControlBus, SAI2_Block_A);
  simtouch::connect(kControlBus);
  simdisplay::connect();
  simws2811::connect(TIM3, 1, simhal::line(GPIOB, 4));
  simbacklight::connect(simhal::line(GPIOK, 3), TIM4);

  ControlLines controls;
  controls.encoder = TIM8;
  controls.key = simhal::line(GPIOG, 7);
  controls.keyFunction = simhal::line(GPIOG, 6);
  controls.mono = simhal::line(GPIOF, 6);
  controls.lightAdc = ADC3;
  controls.lightChannel = ADC_CHANNEL_7;
  connectControls(controls);

  simusb::connectVbusSwitch(simhal::line(GPIOD, 5));

  // Timer interrupts whose handlers only keep state run in batches, which costs no scheduling
  // in between. TIM4 dims the backlight: its handler counts 512 updates to a dimming period
  // and switches the line at two of them, so a batch of 512 holds exactly one period and the
  // backlight's duty, measured over each batch, is exact. TIM7 counts run time for the
  // kernel's statistics: a batch a millisecond.
  constexpr simk::Time kFast = 100 * simk::kUs;
  simhal::batchTimerUpdates(TIM4, [](simk::Time period) { return period < kFast ? 512U : 1U; });
  simhal::batchTimerUpdates(TIM7, [](simk::Time period) {
    return period < kFast ? static_cast<unsigned>(simk::kMs / period) : 1U;
  });
}

void wirePowerLatch() { simpower::watchLatch(simhal::line(GPIOA, 0)); }

}  // namespace simboard
