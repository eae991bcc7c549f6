; A field width the engine's format cannot hold: the engine library crashes.
(deftemplate world (slot food_supply) (slot change_FS))
(deftemplate colony (slot food_reserves) (slot population) (slot change_FR) (slot num_gathering_ants))
(defrule wide (world) => (format nil "%-999999d" 1))
