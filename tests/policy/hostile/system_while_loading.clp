; A shell command in a value computed while loading.
(deftemplate world (slot food_supply) (slot change_FS))
(deftemplate colony (slot food_reserves) (slot population) (slot change_FR) (slot num_gathering_ants))
(defglobal ?*shell* = (system "touch system-ran-at-load.txt"))
(defrule conclude (world) => (assert (raise_food_intake)))
